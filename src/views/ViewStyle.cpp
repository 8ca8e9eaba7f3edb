#include "views/ViewStyle.h"

#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <algorithm>

namespace ViewStyle {

namespace {

// Pixel size of body text: the desktop font, but never below 13 px so that
// the smallest caption stays readable.
int bodyPixelSize()
{
    return std::max(13, QFontInfo(QApplication::font()).pixelSize());
}

// Our buttons draw their own frame, so they draw their own focus mark too:
// a keyboard user must see where Space and Return go.
void styleButton(QPushButton* button, const QString& normal, const QString& hover,
                 const QString& pressed, const QString& focus, const QString& disabled = {})
{
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QPushButton { outline: none; %1 } QPushButton:hover { %2 }"
                       " QPushButton:pressed { %3 } QPushButton:focus { %4 }"
                       " QPushButton:disabled { %5 }")
            .arg(normal, hover, pressed, focus, disabled));
}

} // namespace

QFont textFont(TextStyle style)
{
    const int body = bodyPixelSize();
    switch (style) {
    case TextStyle::Body:
        return font(body);
    case TextStyle::Callout:
        return font(body - 1);
    case TextStyle::Headline:
        return font(body, QFont::DemiBold);
    case TextStyle::Subheadline:
    case TextStyle::Caption:
        return font(body - 2);
    case TextStyle::SmallCaption:
        return font(body - 3);
    }
    return font(body);
}

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QColor accent(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor secondaryText(const QPalette& palette)
{
    QColor c = palette.color(QPalette::Active, QPalette::WindowText);
    c.setAlphaF(0.6f);
    return c;
}

QColor success()
{
    return QColor(0x34, 0xc7, 0x59);
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

QColor indicatorInactive()
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

void makeSecondary(QWidget* widget)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, secondaryText(p));
    widget->setPalette(p);
}

QLabel* makeSecondaryLabel(const QString& text, TextStyle style, QWidget* parent)
{
    QLabel* label = makeLabel(text, textFont(style), parent);
    makeSecondary(label);
    return label;
}

QFrame* makeDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette p = line->palette();
    QColor c = p.color(QPalette::WindowText);
    c.setAlphaF(0.15f);
    p.setColor(QPalette::WindowText, c);
    line->setPalette(p);
    return line;
}

void makeProminent(QPushButton* button, bool large)
{
    const QColor color = accent(button->palette());
    QFont f = textFont(TextStyle::Body);
    f.setWeight(QFont::DemiBold);
    if (large) {
        f.setPixelSize(f.pixelSize() + 1);
    }
    button->setFont(f);
    const QString shape = QStringLiteral("border-radius: %1px; padding: %2;")
                              .arg(large ? 8 : 6)
                              .arg(large ? QStringLiteral("8px 20px") : QStringLiteral("4px 16px"));
    styleButton(
        button,
        QStringLiteral("background-color: %1; color: white; border: 2px solid %1; %2")
            .arg(color.name(), shape),
        QStringLiteral("background-color: %1; border-color: %1;").arg(color.lighter(110).name()),
        QStringLiteral("background-color: %1; border-color: %1;").arg(color.darker(115).name()),
        QStringLiteral("border-color: %1;").arg(color.darker(160).name()));
}

void makeBordered(QPushButton* button)
{
    button->setFont(textFont(TextStyle::Body));
    styleButton(button,
                QStringLiteral("background-color: palette(button); color: palette(button-text);"
                               " border: 1px solid palette(mid); border-radius: 6px;"
                               " padding: 4px 17px; margin: 1px;"),
                QStringLiteral("background-color: palette(light);"),
                QStringLiteral("background-color: palette(midlight);"),
                QStringLiteral("border: 2px solid palette(highlight); margin: 0;"));
}

void makeDestructiveBordered(QPushButton* button)
{
    const QColor red = destructiveRed();
    QColor tint = red;
    tint.setAlphaF(0.08f);
    QColor pressed = red;
    pressed.setAlphaF(0.16f);
    styleButton(button,
                QStringLiteral("color: %1; background: transparent; border: 1px solid %1;"
                               " border-radius: 6px; padding: 3px 12px; margin: 1px;")
                    .arg(red.name()),
                QStringLiteral("background-color: %1;").arg(tint.name(QColor::HexArgb)),
                QStringLiteral("background-color: %1;").arg(pressed.name(QColor::HexArgb)),
                QStringLiteral("border-width: 2px; margin: 0;"),
                QStringLiteral("color: palette(mid); border-color: palette(mid);"));
}

} // namespace ViewStyle
