#include "feedback/HUDManager.h"

#include "feedback/DisplayCapabilities.h"
#include "feedback/HUDView.h"
#include "feedback/LoadingHUDView.h"
#include "feedback/Notifier.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cmath>

HUDManager::HUDManager(const DisplayCapabilities* display, QObject* parent)
    : QObject(parent), m_display(display)
{
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &HUDManager::fadeOutCurrent);
}

HUDManager::~HUDManager()
{
    stopFade();
    delete m_currentWindow.data();
}

HUDManager::State HUDManager::state() const
{
    if (!m_currentWindow) {
        return State::idle;
    }
    if (m_fadingOut) {
        return State::fadingOut;
    }
    return qobject_cast<LoadingHUDView*>(m_currentWindow.data()) ? State::loadingShown
                                                                 : State::confirmationShown;
}

void HUDManager::show(double durationSeconds)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, durationSeconds] { showConfirmationNow(durationSeconds); },
            Qt::QueuedConnection);
        return;
    }
    showConfirmationNow(durationSeconds);
}

bool HUDManager::placesToasts() const
{
    return !m_display || m_display->placesToasts();
}

void HUDManager::showLoading()
{
    // A notification for a few seconds of work would outlive it: no loading
    // toast where toasts cannot be placed.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (placesToasts()) {
                present(new LoadingHUDView);
            }
        },
        Qt::QueuedConnection);
}

void HUDManager::hideLoading()
{
    QMetaObject::invokeMethod(this, &HUDManager::hideLoadingNow, Qt::QueuedConnection);
}

void HUDManager::showConfirmationNow(double durationSeconds)
{
    if (!placesToasts()) {
        closeCurrentAtOnce();
        if (m_notifier) {
            m_notifier->post(HUDView::text(), QString());
        }
        return;
    }
    present(new HUDView);
    // Scheduled now, so the fade-in and the wait overlap. Nonsense durations
    // hide the toast at once rather than never.
    const double milliseconds = std::isfinite(durationSeconds) ? durationSeconds * 1000.0 : 0.0;
    m_hideTimer.start(static_cast<int>(std::clamp(milliseconds, 0.0, 24.0 * 3600 * 1000)));
}

void HUDManager::present(ToastView* window)
{
    m_hideTimer.stop();
    closeCurrentAtOnce();
    window->setOpaqueFallback(m_display && !m_display->blendsTranslucentWindows());
    QRect frame(QPoint(0, 0), window->sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The available area leaves out panels and docks.
        const QRect area = screen->availableGeometry();
        frame.moveTopLeft(QPoint(area.x() + area.width() / 2 - frame.width() / 2,
                                 area.y() + area.height() / 2 - frame.height() / 2));
    }
    window->setGeometry(frame);
    window->setWindowOpacity(0.0);
    window->show();
    m_currentWindow = window;
    newFade(window, 1.0)->start(QAbstractAnimation::DeleteWhenStopped);
}

QPropertyAnimation* HUDManager::newFade(ToastView* window, qreal to)
{
    stopFade();
    auto* animation = new QPropertyAnimation(window, "windowOpacity", this);
    animation->setDuration(m_animationMs);
    animation->setEndValue(to);
    m_fade = animation;
    return animation;
}

void HUDManager::stopFade()
{
    if (m_fade) {
        // Stopped, not deleted: this may run inside the animation's own
        // finished signal. Stopping deletes it later.
        m_fade->disconnect(this);
        m_fade->stop();
    }
}

void HUDManager::closeCurrentAtOnce()
{
    stopFade();
    m_fadingOut = false;
    if (ToastView* window = m_currentWindow) {
        m_currentWindow = nullptr;
        window->hide();
        window->deleteLater();
    }
}

void HUDManager::hideLoadingNow()
{
    // A failed capture must not cut short the confirmation of an earlier one.
    if (qobject_cast<LoadingHUDView*>(m_currentWindow.data())) {
        fadeOutCurrent();
    }
}

void HUDManager::fadeOutCurrent()
{
    const QPointer<ToastView> faded = m_currentWindow;
    if (!faded || m_fadingOut) {
        return;
    }
    m_fadingOut = true;
    QPropertyAnimation* animation = newFade(faded, 0.0);
    connect(animation, &QPropertyAnimation::finished, this, [this, faded] {
        // A toast shown during the fade has already replaced this one and
        // closed it; only a fade that ran to its end removes the window.
        if (faded && m_currentWindow == faded) {
            closeCurrentAtOnce();
        }
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
