#include "views/HistoryStyle.h"

#include "views/OnboardingStyle.h"

#include <QApplication>
#include <QPalette>
#include <QPushButton>

namespace HistoryStyle {

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QColor accent(const QPalette& palette)
{
    return OnboardingStyle::accentColor(palette);
}

QColor secondaryText(const QPalette& palette)
{
    return OnboardingStyle::secondaryTextColor(palette);
}

QColor syncedBlue()
{
    return QColor(0x0a, 0x84, 0xff);
}

QColor localGrey()
{
    return QColor(0x8e, 0x8e, 0x93);
}

QColor destructiveRed()
{
    return QColor(0xe0, 0x2f, 0x2f);
}

void makeDestructiveBordered(QPushButton* button)
{
    const QColor red = destructiveRed();
    QColor tint = red;
    tint.setAlphaF(0.08f);
    QColor pressed = red;
    pressed.setAlphaF(0.16f);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: transparent; border: 1px solid %1;"
                       " border-radius: 6px; padding: 3px 12px; }"
                       "QPushButton:hover { background-color: %2; }"
                       "QPushButton:pressed { background-color: %3; }"
                       "QPushButton:disabled { color: palette(mid); border-color: palette(mid); }")
            .arg(red.name(), tint.name(QColor::HexArgb), pressed.name(QColor::HexArgb)));
}

} // namespace HistoryStyle
