#include "views/OnboardingStyle.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <algorithm>

namespace OnboardingStyle {

namespace {

// Pixel size of body text: the desktop font, but never below 13 px so that
// the smallest caption stays readable.
int bodyPixelSize()
{
    return std::max(13, QFontInfo(QApplication::font()).pixelSize());
}

} // namespace

QFont textFont(TextStyle style)
{
    QFont f = QApplication::font();
    const int body = bodyPixelSize();
    switch (style) {
    case TextStyle::Body:
        f.setPixelSize(body);
        break;
    case TextStyle::Callout:
        f.setPixelSize(body - 1);
        break;
    case TextStyle::Headline:
        f.setPixelSize(body);
        f.setWeight(QFont::DemiBold);
        break;
    case TextStyle::Subheadline:
        f.setPixelSize(body - 2);
        break;
    case TextStyle::Caption:
        f.setPixelSize(body - 2);
        break;
    case TextStyle::SmallCaption:
        f.setPixelSize(body - 3);
        break;
    }
    return f;
}

QFont titleFont(int pixelSize)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Bold);
    return f;
}

QColor accentColor(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor secondaryTextColor(const QPalette& palette)
{
    QColor c = palette.color(QPalette::Active, QPalette::WindowText);
    c.setAlphaF(0.6f);
    return c;
}

QColor successColor()
{
    return QColor(0x34, 0xc7, 0x59);
}

QColor indicatorInactiveColor()
{
    QColor c(Qt::gray);
    c.setAlphaF(0.3f);
    return c;
}

QLabel* makeLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* makeSecondaryLabel(const QString& text, TextStyle style, QWidget* parent)
{
    QLabel* label = makeLabel(text, textFont(style), parent);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, secondaryTextColor(p));
    label->setPalette(p);
    return label;
}

void makeProminent(QPushButton* button, bool large)
{
    const QColor accent = accentColor(button->palette());
    QFont f = textFont(TextStyle::Body);
    f.setWeight(QFont::DemiBold);
    if (large) {
        f.setPixelSize(f.pixelSize() + 1);
    }
    button->setFont(f);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: white;"
                       " border: none; border-radius: %4px; padding: %5; }"
                       "QPushButton:hover { background-color: %2; }"
                       "QPushButton:pressed { background-color: %3; }"
                       "QPushButton:focus { outline: none; }")
            .arg(accent.name(), accent.lighter(110).name(), accent.darker(115).name(),
                 QString::number(large ? 8 : 6),
                 large ? QStringLiteral("10px 22px") : QStringLiteral("6px 18px")));
}

void makeBordered(QPushButton* button)
{
    button->setFont(textFont(TextStyle::Body));
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: palette(button); color: palette(button-text);"
        " border: 1px solid palette(mid); border-radius: 6px; padding: 5px 18px; }"
        "QPushButton:hover { background-color: palette(light); }"
        "QPushButton:pressed { background-color: palette(midlight); }"
        "QPushButton:focus { outline: none; }"));
}

} // namespace OnboardingStyle
