#pragma once

#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/KeySequence.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QKeyEvent;
class QLabel;
class QPushButton;

// The window in which the user types a new capture key sequence: Record
// starts, up to maxPresses chords are taken (a key with its modifiers, or a
// modifier pressed on its own), and recording stops by itself after a pause
// or at the last chord. While recording, the window takes every key of the
// desktop (a keyboard grab), so that shortcuts such as Super reach neither
// the desktop nor another window. Save hands the sequence to onSave.
class HotkeyRecorderWindow : public QDialog
{
    Q_OBJECT
public:
    using SaveHandler = std::function<void(const KeySequence&)>;

    HotkeyRecorderWindow(int maxPresses, int finalizationDelayMs, SaveHandler onSave,
                         QWidget* parent = nullptr);
    ~HotkeyRecorderWindow() override;

    // Centred on the primary screen, above other windows, active.
    void present();

    void startRecording();
    void stopRecording();
    // Forgets the chords, keeps recording.
    void clearRecording();
    // With chords recorded: onSave, then closes.
    void save();

    // One key event while recording (modifiers: the bits held after it).
    void handleRecordingEvent(HotkeyBackend::EventType type, quint32 keyCode, quint32 modifiers);

    bool isRecording() const { return m_recording; }
    const QList<KeyPress>& recordedPresses() const { return m_presses; }
    QString displayText() const;

public slots:
    // Cancel, Escape and the close button: stops recording, closes unsaved.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void record(const KeyPress& press);
    void handleKeyEvent(const QKeyEvent& event);
    void updateDisplay();
    void scheduleFinalization();
    void setKeyboardTaken(bool taken);

    const int m_maxPresses;
    SaveHandler m_onSave;
    bool m_recording = false;
    bool m_keyboardTaken = false;
    QList<KeyPress> m_presses;
    QTimer m_finalizationTimer;

    QLabel* m_display = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_hintPresses = nullptr;
    QLabel* m_hintStop = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_record = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_save = nullptr;
};
