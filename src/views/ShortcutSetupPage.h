#pragma once

#include "views/OnboardingPage.h"

#include <memory>

class ShortcutSetup;
class ShortcutSetupPanel;

// The first-run page that offers the desktop shortcut for the capture
// command, on desktops where the application cannot make a key global.
class ShortcutSetupPage : public OnboardingPage
{
    Q_OBJECT
public:
    ShortcutSetupPage(std::shared_ptr<ShortcutSetup> setup, QWidget* parent = nullptr);
    ShortcutSetupPanel* panel() const { return m_panel; }

private:
    ShortcutSetupPanel* m_panel;
};
