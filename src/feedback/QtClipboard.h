#pragma once

#include "feedback/Clipboard.h"

#include <QClipboard>

// The desktop clipboard (the CLIPBOARD selection on X11) through Qt.
class QtClipboard : public Clipboard
{
public:
    std::optional<QString> text() const override;
    void clear() override;
    bool setText(const QString& text) override;
};
