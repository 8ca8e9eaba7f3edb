#pragma once

#include <QColor>
#include <QFont>

class QFrame;
class QLabel;
class QPalette;
class QPushButton;
class QWidget;

// Colours, type and button looks shared by the application's windows. Text
// styles are sized relative to the desktop's font so that pages follow the
// user's setting; titles and the dense history rows use fixed pixel sizes.
namespace ViewStyle {

enum class TextStyle {
    Body,
    Callout,
    Headline,
    Subheadline,
    Caption,
    SmallCaption,
};

QFont textFont(TextStyle style);
// The desktop's font at a fixed pixel size.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

QColor accent(const QPalette& palette);
QColor secondaryText(const QPalette& palette);
QColor success();
QColor syncedBlue();
QColor localGrey();
QColor destructiveRed();
QColor indicatorInactive();

QLabel* makeLabel(const QString& text, const QFont& font, QWidget* parent);
// Dims a widget's text to the secondary colour.
void makeSecondary(QWidget* widget);
QLabel* makeSecondaryLabel(const QString& text, TextStyle style, QWidget* parent);
// A faint horizontal line between sections.
QFrame* makeDivider(QWidget* parent);

// The filled accent-coloured look of a primary action; `large` for the
// permission page's button.
void makeProminent(QPushButton* button, bool large = false);
// The plain bordered look of a secondary action.
void makeBordered(QPushButton* button);
// The red bordered look of a destructive action ("Clear All").
void makeDestructiveBordered(QPushButton* button);

} // namespace ViewStyle
