#include "views/OnboardingWindowController.h"

#include "settings/Preferences.h"
#include "views/OnboardingView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>

namespace {
constexpr QSize kWindowSize(600, 500);
} // namespace

// A plain top-level widget that reports an accepted close.
class OnboardingWindowController::Window : public QWidget
{
public:
    std::function<void()> onClosed;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QWidget::closeEvent(event);
        if (event->isAccepted() && onClosed) {
            onClosed();
        }
    }
};

OnboardingWindowController::OnboardingWindowController(Preferences& preferences,
                                                       const OnboardingOptions& options,
                                                       QObject* parent)
    : QObject(parent), m_preferences(preferences), m_window(std::make_unique<Window>())
{
    // Titled and closable only: no minimising into a task bar the user has
    // not met yet, no resizing of a layout made for one size.
    m_window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint);
    m_window->setWindowTitle(tr("Welcome to quillsnap"));
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->setFixedSize(kWindowSize);

    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new OnboardingView(preferences, options, m_window.get());
    layout->addWidget(m_view);

    m_window->onClosed = [this] { emit closed(m_preferences.hasCompletedOnboarding()); };
}

OnboardingWindowController::~OnboardingWindowController()
{
    // Destroying the window is not the user closing it.
    m_window->onClosed = nullptr;
}

QWidget* OnboardingWindowController::window() const
{
    return m_window.get();
}

void OnboardingWindowController::showWindow()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        m_window->move(available.center() -
                       QPoint(kWindowSize.width() / 2, kWindowSize.height() / 2));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
