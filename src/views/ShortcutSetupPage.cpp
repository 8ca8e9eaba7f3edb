#include "views/ShortcutSetupPage.h"

#include "views/ShortcutSetupPanel.h"

#include <QLabel>

ShortcutSetupPage::ShortcutSetupPage(std::shared_ptr<ShortcutSetup> setup, QWidget* parent)
    : OnboardingPage({QStringLiteral("keyboard"), 45, tr("Keyboard Shortcut"), 20,
                      tr("Capture text with a key, from anywhere"), ViewStyle::TextStyle::Callout},
                     parent),
      m_panel(new ShortcutSetupPanel(std::move(setup), this))
{
    // The page centres its blocks, which leaves wrapped texts the height of
    // their first guess: at a fixed width they get what they need.
    constexpr int width = 480;
    m_panel->setFixedWidth(width);
    for (QLabel* label : m_panel->findChildren<QLabel*>()) {
        if (label->wordWrap()) {
            label->setMinimumHeight(label->heightForWidth(width));
        }
    }
    addBlock(m_panel, 22);
}
