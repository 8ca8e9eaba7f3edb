#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class ShortcutSetup;

// Offers the desktop shortcut that runs the capture command where the
// application cannot make a key global itself: says which keys and which
// command, shows what will be written, and writes it when the user presses
// the button. Used by the first-run window and the settings window.
class ShortcutSetupPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ShortcutSetupPanel(std::shared_ptr<ShortcutSetup> setup, QWidget* parent = nullptr);

    QPushButton* setUpButton() const { return m_button; }
    QLabel* statusLabel() const { return m_status; }

signals:
    // The shortcut is in place (found at start, or just written).
    void installed();

private:
    void install();
    void showInstalled();

    std::shared_ptr<ShortcutSetup> m_setup;
    QPushButton* m_button = nullptr;
    QLabel* m_status = nullptr;
};
