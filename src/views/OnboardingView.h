#pragma once

#include "views/OnboardingOptions.h"

#include <QPointer>
#include <QWidget>

class CompletionPage;
class PageIndicator;
class Preferences;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QStackedWidget;
class ScreenRecordingPermissionPage;
class WelcomePage;

// The content of the first-run window: the pages (welcome, the screen
// permission where the desktop asks for one, completion), a navigation row
// ("Back", the page dots, "Continue" or "Get Started") and the legal line.
// Return triggers the right-hand button unless a button or link has the
// focus, Escape goes back.
class OnboardingView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int currentPage READ currentPage WRITE setCurrentPage NOTIFY currentPageChanged)
public:
    OnboardingView(Preferences& preferences, const OnboardingOptions& options = {},
                   QWidget* parent = nullptr);
    ~OnboardingView() override;

    int currentPage() const { return m_currentPage; }
    int totalPages() const { return m_totalPages; }

    // Null where the desktop does not ask for a permission.
    ScreenRecordingPermissionPage* permissionPage() const { return m_permissionPage; }
    QWidget* currentPageWidget() const;
    QPushButton* backButton() const { return m_backButton; }
    QPushButton* primaryButton() const { return m_primaryButton; }
    PageIndicator* pageIndicator() const { return m_indicator; }
    QLabel* legalLabel() const { return m_legal; }

public slots:
    // Out-of-range pages are clamped.
    void setCurrentPage(int page);
    void goBack();
    void goForward();
    // "Get Started": records that the onboarding is done and closes the window.
    void completeOnboarding();

signals:
    void currentPageChanged(int page);
    void onboardingCompleted();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void primaryAction();
    void updateNavigation();
    void animateIn(QWidget* page);

    Preferences& m_preferences;
    OnboardingOptions m_options;
    int m_currentPage = 0;
    int m_totalPages = 0;

    QStackedWidget* m_stack = nullptr;
    ScreenRecordingPermissionPage* m_permissionPage = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_primaryButton = nullptr;
    PageIndicator* m_indicator = nullptr;
    QLabel* m_legal = nullptr;
    QPointer<QPropertyAnimation> m_animation;
};
