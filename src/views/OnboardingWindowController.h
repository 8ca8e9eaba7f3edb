#pragma once

#include "views/OnboardingOptions.h"

#include <QObject>

#include <memory>

class OnboardingView;
class Preferences;
class QWidget;

// Owns the first-run window (600 x 500, "Welcome to quillsnap") whose content
// is OnboardingView.
//
// The application shows it instead of its normal start-up while
// "hasCompletedOnboarding" is false, and listens to closed(): `completed` is
// that preference as it stands when the window closes, true after
// "Get Started". On true the application runs its normal start-up; on false
// (the window was closed any other way) it quits, so that the next start
// shows the onboarding again. The window is not deleted when closed; the
// controller owns it.
class OnboardingWindowController : public QObject
{
    Q_OBJECT
public:
    explicit OnboardingWindowController(Preferences& preferences,
                                        const OnboardingOptions& options = {},
                                        QObject* parent = nullptr);
    ~OnboardingWindowController() override;

    QWidget* window() const;
    OnboardingView* view() const { return m_view; }

    // Centres the window on the primary screen, shows it and brings it to
    // the front with keyboard focus.
    void showWindow();

signals:
    void closed(bool completed);

private:
    class Window;

    Preferences& m_preferences;
    std::unique_ptr<Window> m_window;
    OnboardingView* m_view = nullptr;
};
