#include "hotkeys/HotkeyRecorderWindow.h"

#include "common/DesktopEnvironment.h"
#include "hotkeys/HotkeyManager.h"
#include "hotkeys/KeyCodeMap.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr QSize windowSize(550, 320);
constexpr QSize displayMinimum(400, 100);
constexpr int buttonSpacing = 12;

// The display box: blue while recording, gray otherwise, at a tenth of the
// colour behind the text and in full for its 2-pixel rounded frame.
QString displayStyle(bool recording)
{
    const char* rgb = recording ? "0, 122, 255" : "142, 142, 147";
    return QStringLiteral("QLabel { background: rgba(%1, 0.1); border: 2px solid rgb(%1);"
                          " border-radius: 8px; padding: 8px; }")
        .arg(QLatin1String(rgb));
}

QLabel* captionLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    // Hidden while not recording; the space stays, so the buttons keep still.
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    return label;
}

} // namespace

HotkeyRecorderWindow::HotkeyRecorderWindow(int maxPresses, int finalizationDelayMs,
                                           SaveHandler onSave, QWidget* parent)
    : QDialog(parent), m_maxPresses(maxPresses), m_onSave(std::move(onSave))
{
    setWindowTitle(tr("Configure Hotkey Sequence"));
    m_finalizationTimer.setSingleShot(true);
    m_finalizationTimer.setInterval(finalizationDelayMs);
    connect(&m_finalizationTimer, &QTimer::timeout, this, &HotkeyRecorderWindow::stopRecording);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(12);

    auto* title = new QLabel(tr("Configure Hotkey Sequence"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);

    m_display = new QLabel(this);
    m_display->setTextFormat(Qt::PlainText);
    m_display->setAlignment(Qt::AlignCenter);
    m_display->setWordWrap(true);
    m_display->setMinimumSize(displayMinimum);
    m_display->setAccessibleName(tr("Recorded key sequence"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF() * 1.6);
    m_display->setFont(mono);
    column->addWidget(m_display, 1);

    m_count = captionLabel(this);
    m_count->setAlignment(Qt::AlignHCenter);
    column->addWidget(m_count);
    m_hintPresses = captionLabel(this);
    m_hintPresses->setText(tr("• Press up to %1 keys in sequence").arg(m_maxPresses));
    column->addWidget(m_hintPresses);
    m_hintStop = captionLabel(this);
    m_hintStop->setText(tr("• Recording will stop %1 seconds after last keypress")
                            .arg(QLocale().toString(finalizationDelayMs / 1000.0)));
    column->addWidget(m_hintStop);
    if (DesktopEnvironment::current().wayland) {
        // Wayland desktops bind one key combination for an application;
        // watching every key press, which sequences need, is an X11 feature.
        auto* wayland = captionLabel(this);
        wayland->setText(tr("• On Wayland only one key combination works; sequences of several "
                            "need an X11 session"));
        wayland->setWordWrap(true);
        column->addWidget(wayland);
    }
    m_problem = captionLabel(this);
    m_problem->setText(tr("A modifier key on its own can only end a sequence. Record again."));
    m_problem->setWordWrap(true);
    m_problem->setAlignment(Qt::AlignHCenter);
    column->addWidget(m_problem);
    column->addStretch();

    auto* row = new QHBoxLayout;
    row->setSpacing(buttonSpacing);
    row->addStretch();
    m_record = new QPushButton(tr("Record Hotkey"), this);
    m_record->setDefault(true);
    m_clear = new QPushButton(tr("Clear"), this);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_save = new QPushButton(tr("Save"), this);
    m_save->setToolTip(tr("Ctrl+Return"));
    for (QPushButton* button : {m_record, m_clear, m_cancel, m_save}) {
        row->addWidget(button);
    }
    row->addStretch();
    column->addLayout(row);

    connect(m_record, &QPushButton::clicked, this, &HotkeyRecorderWindow::startRecording);
    connect(m_clear, &QPushButton::clicked, this, &HotkeyRecorderWindow::clearRecording);
    connect(m_cancel, &QPushButton::clicked, this, &HotkeyRecorderWindow::reject);
    connect(m_save, &QPushButton::clicked, this, &HotkeyRecorderWindow::save);
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this,
                &HotkeyRecorderWindow::save);
    }

    updateDisplay();
    setFixedSize(sizeHint().expandedTo(windowSize));
}

HotkeyRecorderWindow::~HotkeyRecorderWindow()
{
    setKeyboardTaken(false);
}

void HotkeyRecorderWindow::present()
{
    setWindowFlag(Qt::WindowStaysOnTopHint);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

QString HotkeyRecorderWindow::displayText() const
{
    return m_display->text();
}

void HotkeyRecorderWindow::startRecording()
{
    m_recording = true;
    m_presses.clear();
    m_finalizationTimer.stop();
    setKeyboardTaken(true);
    updateDisplay();
}

void HotkeyRecorderWindow::stopRecording()
{
    m_recording = false;
    setKeyboardTaken(false);
    m_finalizationTimer.stop();
    updateDisplay();
}

void HotkeyRecorderWindow::clearRecording()
{
    m_presses.clear();
    m_finalizationTimer.stop();
    updateDisplay();
}

void HotkeyRecorderWindow::save()
{
    if (m_recording || !HotkeyManager::canDetect(KeySequence{m_presses, 0.5})) {
        return;
    }
    if (m_onSave) {
        m_onSave(KeySequence{m_presses, 0.5});
    }
    accept();
}

void HotkeyRecorderWindow::reject()
{
    stopRecording();
    QDialog::reject();
}

void HotkeyRecorderWindow::closeEvent(QCloseEvent* event)
{
    stopRecording();
    QDialog::closeEvent(event);
}

void HotkeyRecorderWindow::handleRecordingEvent(HotkeyBackend::EventType type, quint32 keyCode,
                                                quint32 modifiers)
{
    if (!m_recording || m_presses.size() >= m_maxPresses) {
        return;
    }
    const quint32 held = modifiers & CarbonModifier::Mask;
    if (type == HotkeyBackend::EventType::keyDown) {
        // Holding Super and pressing K records Super+K alone.
        while (!m_presses.isEmpty() && isModifierKeyCode(m_presses.constLast().keyCode)) {
            m_presses.removeLast();
        }
        record(KeyPress{keyCode, held});
        return;
    }
    if (!isModifierKeyCode(keyCode)) {
        return;
    }
    // A modifier pressed on its own is a chord; its release is not.
    if (m_presses.isEmpty() ? held != 0 : held > m_presses.constLast().modifiers) {
        record(KeyPress{keyCode, held});
    }
}

void HotkeyRecorderWindow::record(const KeyPress& press)
{
    m_presses.append(press);
    updateDisplay();
    scheduleFinalization();
    if (m_presses.size() >= m_maxPresses) {
        stopRecording();
    }
}

void HotkeyRecorderWindow::scheduleFinalization()
{
    m_finalizationTimer.start();
}

void HotkeyRecorderWindow::updateDisplay()
{
    QString text;
    if (!m_presses.isEmpty()) {
        text = KeySequence{m_presses, 0.5}.displayString();
    } else {
        text = m_recording ? tr("Waiting for keypresses...") : tr("Press 'Record' to start...");
    }
    m_display->setText(text);
    m_display->setAccessibleDescription(text);
    m_display->setStyleSheet(displayStyle(m_recording));
    m_count->setText(tr("%1 of %2 keys recorded").arg(m_presses.size()).arg(m_maxPresses));
    for (QWidget* w : {static_cast<QWidget*>(m_count), static_cast<QWidget*>(m_hintPresses),
                       static_cast<QWidget*>(m_hintStop), static_cast<QWidget*>(m_clear)}) {
        w->setVisible(m_recording);
    }
    const bool focusWasOnHidden = m_recording ? m_record->hasFocus() : m_clear->hasFocus();
    // A sequence that could never be detected is not offered for saving.
    const bool detectable = HotkeyManager::canDetect(KeySequence{m_presses, 0.5});
    m_problem->setVisible(!m_recording && !m_presses.isEmpty() && !detectable);
    m_record->setVisible(!m_recording);
    m_save->setVisible(!m_recording && detectable);
    if (focusWasOnHidden || (!m_recording && !focusWidget())) {
        (m_recording ? m_cancel : m_record)->setFocus();
    }
}

void HotkeyRecorderWindow::setKeyboardTaken(bool taken)
{
    if (taken == m_keyboardTaken) {
        return;
    }
    m_keyboardTaken = taken;
    if (taken) {
        // Every key of the application comes here first, shortcuts included,
        // and the grab keeps the desktop's own shortcuts from firing.
        qApp->installEventFilter(this);
        grabKeyboard();
    } else {
        releaseKeyboard();
        qApp->removeEventFilter(this);
    }
}

bool HotkeyRecorderWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Each key event reaches the filter once per object it passes
        // through; take it at its first stop.
        handleKeyEvent(*static_cast<QKeyEvent*>(event));
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void HotkeyRecorderWindow::handleKeyEvent(const QKeyEvent& event)
{
    if (event.isAutoRepeat() || event.nativeScanCode() < KeyCodeMap::evdevOffset) {
        return;
    }
    const std::optional<quint32> keyCode =
        KeyCodeMap::virtualKeyCode(event.nativeScanCode() - KeyCodeMap::evdevOffset);
    if (!keyCode) {
        return; // a key the stored numbering has no code for
    }
    // The native state is the one before this event.
    quint32 held = KeyCodeMap::modifiersFromXkbState(event.nativeModifiers());
    const bool press = event.type() == QEvent::KeyPress;
    if (const quint32 bit = KeyCodeMap::modifierOfKey(*keyCode)) {
        held = press ? (held | bit) : (held & ~bit);
        handleRecordingEvent(HotkeyBackend::EventType::flagsChanged, *keyCode, held);
    } else if (press) {
        handleRecordingEvent(KeyCodeMap::isLockKey(*keyCode)
                                 ? HotkeyBackend::EventType::flagsChanged
                                 : HotkeyBackend::EventType::keyDown,
                             *keyCode, held);
    }
}
