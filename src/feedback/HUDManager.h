#pragma once

#include "feedback/ToastView.h"

#include <QObject>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>

class DisplayCapabilities;
class Notifier;

// Shows the short-lived toasts in the middle of the primary screen: the
// "Copied to Clipboard" confirmation and the loading toast while a cloud
// provider works. One toast at a time; a new one replaces the current at once.
// The toast windows never take focus and let clicks through.
class HUDManager : public QObject
{
    Q_OBJECT
public:
    enum class State { idle, confirmationShown, loadingShown, fadingOut };
    Q_ENUM(State)

    // `display` tells whether toasts can be translucent; not owned. Null
    // stands for a display that blends them (offscreen, Wayland).
    explicit HUDManager(const DisplayCapabilities* display = nullptr, QObject* parent = nullptr);
    ~HUDManager() override;

    // The confirmation toast, hidden `durationSeconds` after it is shown.
    // Main thread; from another thread the call is posted there.
    void show(double durationSeconds);
    // Callable from any thread: both post their work to the main thread.
    void showLoading();
    // Fades out the loading toast; a confirmation on screen keeps its time.
    void hideLoading();

    // Where the confirmation goes when the display cannot place toasts; not
    // owned, may be null (no confirmation there).
    void setNotifier(Notifier* notifier) { m_notifier = notifier; }

    ToastView* currentWindow() const { return m_currentWindow; }
    bool isHidePending() const { return m_hideTimer.isActive(); }
    State state() const;

    // Length of the fade in and out, 300 ms unless a test shortens it.
    void setAnimationDuration(int milliseconds) { m_animationMs = milliseconds; }

private:
    void showConfirmationNow(double durationSeconds);
    void present(ToastView* window);
    void closeCurrentAtOnce();
    void hideLoadingNow();
    void fadeOutCurrent();
    QPropertyAnimation* newFade(ToastView* window, qreal to);
    void stopFade();

    bool placesToasts() const;

    const DisplayCapabilities* m_display = nullptr;
    Notifier* m_notifier = nullptr;
    QPointer<ToastView> m_currentWindow;
    QPointer<QPropertyAnimation> m_fade;
    bool m_fadingOut = false;
    QTimer m_hideTimer{this}; // a child, so that it moves with the manager
    int m_animationMs = 300;
};
