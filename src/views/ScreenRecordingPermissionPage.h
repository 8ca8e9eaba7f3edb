#pragma once

#include "views/OnboardingPage.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class QPushButton;
class ScreenCapturePermission;

// The page about the permission to read the screen, shown only where the
// desktop asks the user for one. While the page is shown and the permission
// is missing it re-checks periodically, so granting it elsewhere swaps the
// button for a confirmation without any action here.
class ScreenRecordingPermissionPage : public OnboardingPage
{
    Q_OBJECT
public:
    // probe: makes the desktop ask. openSettings: shows where the permission
    // is managed; may be empty where the desktop has no such place.
    ScreenRecordingPermissionPage(std::shared_ptr<const ScreenCapturePermission> permission,
                                  std::function<void()> probe, std::function<void()> openSettings,
                                  std::chrono::milliseconds pollInterval,
                                  QWidget* parent = nullptr);
    ~ScreenRecordingPermissionPage() override;

    bool isPermissionGranted() const { return m_isPermissionGranted; }
    bool hasTriggeredRequest() const { return m_hasTriggeredRequest; }
    bool isPolling() const { return m_pollTimer.isActive(); }
    QPushButton* grantButton() const { return m_grantButton; }

public slots:
    void checkScreenRecordingPermission();
    // First call: runs the probe that makes the desktop ask. Later calls open
    // the settings, or, without a settings place, ask again.
    void requestScreenRecordingPermission();

signals:
    void permissionGrantedChanged(bool granted);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setPermissionGranted(bool granted);

    std::shared_ptr<const ScreenCapturePermission> m_permission;
    std::function<void()> m_probe;
    std::function<void()> m_openSettings;
    QTimer m_pollTimer;
    bool m_isPermissionGranted = false;
    bool m_hasTriggeredRequest = false;

    QWidget* m_grantedRow = nullptr;
    QWidget* m_requestBox = nullptr;
    QPushButton* m_grantButton = nullptr;
};
