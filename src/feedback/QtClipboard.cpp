#include "feedback/QtClipboard.h"

#include <QGuiApplication>
#include <QMimeData>

std::optional<QString> QtClipboard::text() const
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) {
        return std::nullopt;
    }
    return data->text();
}

void QtClipboard::clear()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

bool QtClipboard::setText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    // Qt reports no failure from setText; reading back what we now own tells
    // whether the platform took it.
    return clipboard->text(QClipboard::Clipboard) == text;
}
