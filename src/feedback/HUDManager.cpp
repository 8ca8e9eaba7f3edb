#include "feedback/HUDManager.h"

#include "feedback/DisplayCapabilities.h"

#include "feedback/HUDView.h"
#include "feedback/LoadingHUDView.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <cmath>
#include <cstdlib>

namespace {

constexpr int toastWidth = 360;
constexpr int loadingHeight = 120;
constexpr int minimumConfirmationHeight = 240;
constexpr int fittingPadding = 40;

void makeToastWindow(QWidget* window)
{
    // Bypassing the window manager keeps the toast above everything, out of
    // the task bar and the focus chain, on every workspace.
    window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
    window->setAttribute(Qt::WA_TransparentForMouseEvents);
    window->setFocusPolicy(Qt::NoFocus);
}

} // namespace

HUDManager::HUDManager(QObject* parent) : QObject(parent)
{
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &HUDManager::fadeOutCurrent);
}

HUDManager::~HUDManager()
{
    stopFade();
    delete m_currentWindow.data();
}

HUDManager& HUDManager::shared()
{
    static HUDManager* instance = [] {
        auto* manager = new HUDManager;
        // Whoever touches it first, the toasts belong to the main thread.
        if (QCoreApplication::instance() && manager->thread() != qApp->thread()) {
            manager->moveToThread(qApp->thread());
        }
        return manager;
    }();
    return *instance;
}

HUDManager::State HUDManager::state() const
{
    if (!m_currentWindow) {
        return State::idle;
    }
    if (m_fadingOut) {
        return State::fadingOut;
    }
    return m_currentKind == Kind::loading ? State::loadingShown : State::confirmationShown;
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

void HUDManager::showLoading()
{
    QMetaObject::invokeMethod(this, &HUDManager::showLoadingNow, Qt::QueuedConnection);
}

void HUDManager::hideLoading()
{
    QMetaObject::invokeMethod(this, &HUDManager::hideNow, Qt::QueuedConnection);
}

void HUDManager::showConfirmationNow(double durationSeconds)
{
    m_hideTimer.stop();
    closeCurrentAtOnce();

    auto* view = new HUDView;
    // Titles are never shown; they name the window for accessibility tools
    // and for tests that look for it on the X server.
    view->setWindowTitle(QStringLiteral("quillsnap: Copied to Clipboard"));
    makeToastWindow(view);
    view->setOpaqueFallback(m_display && !m_display->blendsTranslucentWindows());
    const int height =
        std::max(minimumConfirmationHeight, view->fittingSize().height() + fittingPadding);
    present(view, QSize(toastWidth, height), Kind::confirmation);

    // Scheduled now, so the fade-in and the wait overlap.
    const double milliseconds = std::isfinite(durationSeconds) ? durationSeconds * 1000.0 : 0.0;
    m_hideTimer.start(static_cast<int>(std::clamp(milliseconds, 0.0, 24.0 * 3600 * 1000)));
}

void HUDManager::showLoadingNow()
{
    m_hideTimer.stop();
    closeCurrentAtOnce();

    auto* view = new LoadingHUDView;
    view->setWindowTitle(QStringLiteral("quillsnap: AI-Enhanced OCR"));
    makeToastWindow(view);
    view->setOpaqueFallback(m_display && !m_display->blendsTranslucentWindows());
    present(view, QSize(toastWidth, loadingHeight), Kind::loading);
}

void HUDManager::hideNow()
{
    m_hideTimer.stop();
    fadeOutCurrent();
}

void HUDManager::present(QWidget* window, QSize size, Kind kind)
{
    QRect frame(QPoint(0, 0), size);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The available area leaves out panels and docks.
        const QRect area = screen->availableGeometry();
        frame.moveTopLeft(QPoint(area.x() + area.width() / 2 - size.width() / 2,
                                 area.y() + area.height() / 2 - size.height() / 2));
    }
    window->setGeometry(frame);
    m_currentWindow = window;
    m_currentKind = kind;
    m_fadingOut = false;

    window->setWindowOpacity(0.0);
    window->show();
    auto* fade = new QPropertyAnimation(window, "windowOpacity", this);
    fade->setDuration(m_animationMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    m_fade = fade;
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void HUDManager::closeCurrentAtOnce()
{
    stopFade();
    m_fadingOut = false;
    if (QWidget* window = m_currentWindow) {
        m_currentWindow = nullptr;
        window->hide();
        window->deleteLater();
    }
}

void HUDManager::stopFade()
{
    if (m_fade) {
        m_fade->stop(); // deletes it
    }
}

void HUDManager::fadeOutCurrent()
{
    QWidget* window = m_currentWindow;
    if (!window || m_fadingOut) {
        return;
    }
    stopFade();
    m_fadingOut = true;
    auto* fade = new QPropertyAnimation(window, "windowOpacity", this);
    fade->setDuration(m_animationMs);
    fade->setStartValue(window->windowOpacity());
    fade->setEndValue(0.0);
    m_fade = fade;
    const QPointer<QWidget> faded = window;
    connect(fade, &QPropertyAnimation::finished, this, [this, faded] {
        // A toast shown during the fade has already replaced this one: only
        // the faded window goes, the manager keeps the new one.
        if (faded) {
            faded->hide();
            faded->deleteLater();
        }
        if (faded && m_currentWindow == faded) {
            m_currentWindow = nullptr;
            m_fadingOut = false;
        }
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}
