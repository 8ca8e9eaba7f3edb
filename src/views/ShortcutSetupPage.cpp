#include "views/ShortcutSetupPage.h"

#include "views/ShortcutSetupPanel.h"

ShortcutSetupPage::ShortcutSetupPage(std::shared_ptr<ShortcutSetup> setup, QWidget* parent)
    : OnboardingPage({QStringLiteral("keyboard"), 45, tr("Keyboard Shortcut"), 20,
                      tr("Capture text with a key, from anywhere"), ViewStyle::TextStyle::Callout},
                     parent),
      m_panel(new ShortcutSetupPanel(std::move(setup), this))
{
    m_panel->setMaximumWidth(480);
    addBlock(m_panel, 22);
}
