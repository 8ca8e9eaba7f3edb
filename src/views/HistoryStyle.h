#pragma once

#include <QColor>
#include <QFont>

class QPalette;
class QPushButton;

// Colours and type of the history window, sized in pixels so that rows keep
// their proportions whatever the desktop font.
namespace HistoryStyle {

QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

QColor accent(const QPalette& palette);
QColor secondaryText(const QPalette& palette);
QColor syncedBlue();
QColor localGrey();
QColor destructiveRed();

// The red bordered look of "Clear All".
void makeDestructiveBordered(QPushButton* button);

} // namespace HistoryStyle
