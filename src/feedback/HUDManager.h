#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <QPropertyAnimation>
#include <QWidget>

// Shows the short-lived toasts in the middle of the primary screen: the
// "Copied to Clipboard" confirmation and the loading toast while a cloud
// provider works. One toast at a time; a new one replaces the current at once.
// The toast windows never take focus and let clicks through.
class DisplayCapabilities;

class HUDManager : public QObject
{
    Q_OBJECT
public:
    enum class State { idle, confirmationShown, loadingShown, fadingOut };
    Q_ENUM(State)

    explicit HUDManager(QObject* parent = nullptr);
    ~HUDManager() override;

    // The one instance of the process, living on the main thread.
    static HUDManager& shared();

    // The confirmation toast, hidden `durationSeconds` after it is shown.
    // Main thread; from another thread the call is posted there.
    void show(double durationSeconds);
    // Callable from any thread: both post their work to the main thread.
    void showLoading();
    void hideLoading();

    QWidget* currentWindow() const { return m_currentWindow; }
    bool isHidePending() const { return m_hideTimer.isActive(); }
    int remainingHideTime() const { return m_hideTimer.remainingTime(); }
    State state() const;

    // Tells whether toasts can be translucent; not owned. Null: they can.
    void setDisplayCapabilities(const DisplayCapabilities* display) { m_display = display; }

    // Length of the fade in and out, 300 ms unless a test shortens it.
    void setAnimationDuration(int milliseconds) { m_animationMs = milliseconds; }
    int animationDuration() const { return m_animationMs; }

private:
    enum class Kind { confirmation, loading };

    void showConfirmationNow(double durationSeconds);
    void showLoadingNow();
    void hideNow();
    void present(QWidget* window, QSize size, Kind kind);
    void closeCurrentAtOnce();
    void fadeOutCurrent();
    void stopFade();

    QPointer<QWidget> m_currentWindow;
    Kind m_currentKind = Kind::confirmation;
    QPointer<QPropertyAnimation> m_fade;
    bool m_fadingOut = false;
    QTimer m_hideTimer{this}; // a child, so that it moves with the manager
    int m_animationMs = 300;
    const DisplayCapabilities* m_display = nullptr;
};
