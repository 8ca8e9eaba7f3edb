#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QPalette;
class QPushButton;
class QWidget;

// Colours and type styles shared by the onboarding pages. Text styles are
// sized relative to the desktop's font so that the pages follow the user's
// setting; titles use the fixed sizes the pages were designed with.
namespace OnboardingStyle {

enum class TextStyle {
    Body,
    Callout,
    Headline,
    Subheadline,
    Caption,
    SmallCaption,
};

QFont textFont(TextStyle style);
// A bold title of the given size in pixels.
QFont titleFont(int pixelSize);

QColor accentColor(const QPalette& palette);
QColor secondaryTextColor(const QPalette& palette);
QColor successColor();
QColor indicatorInactiveColor();

QLabel* makeLabel(const QString& text, const QFont& font, QWidget* parent);
// A label in the secondary (dimmed) text colour.
QLabel* makeSecondaryLabel(const QString& text, TextStyle style, QWidget* parent);

// The filled accent-coloured look of a primary action; `large` for the
// permission page's button.
void makeProminent(QPushButton* button, bool large = false);
// The plain bordered look of a secondary action.
void makeBordered(QPushButton* button);

} // namespace OnboardingStyle
