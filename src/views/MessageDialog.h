#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QStyle>

class QVBoxLayout;

// A dialog laid out as the desktop's message boxes: the style's icon beside
// a bold title and the message, room for more below, and the buttons at the
// bottom. Built from public widgets only, so that the layout is ours.
class MessageDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int messageWidth = 340;

    MessageDialog(QStyle::StandardPixmap icon, const QString& title, const QString& message,
                  QWidget* parent = nullptr);

    // Where content goes, between the message and the buttons.
    QVBoxLayout* body() const { return m_body; }
    // Accept roles accept the dialog, reject roles reject it. Add the body's
    // content first.
    QPushButton* addButton(const QString& text, QDialogButtonBox::ButtonRole role);

private:
    QVBoxLayout* m_column;
    QVBoxLayout* m_body;
    QDialogButtonBox* m_buttons = nullptr;
};
