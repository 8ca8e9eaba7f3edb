#pragma once

#include "views/SettingsView.h"

#include <QWidget>

// The top-level "Settings" window: 600 x 550, closable, not resizable,
// hosting a SettingsView. Escape closes it.
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize defaultSize{600, 550};

    explicit SettingsWindow(SettingsServices services, QWidget* parent = nullptr);

    SettingsView* view() const { return m_view; }

private:
    SettingsView* m_view;
};
