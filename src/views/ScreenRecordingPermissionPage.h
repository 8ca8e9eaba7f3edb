#pragma once

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class ScreenCapturePermission;

// Second page: how to let quillsnap read the screen. While the page is shown
// and the permission is missing it re-checks periodically, so granting it
// elsewhere swaps the button for a confirmation without any action here.
class ScreenRecordingPermissionPage : public QWidget
{
    Q_OBJECT
public:
    ScreenRecordingPermissionPage(std::shared_ptr<const ScreenCapturePermission> permission,
                                  std::function<void()> probe, std::function<void()> openSettings,
                                  std::chrono::milliseconds pollInterval,
                                  QWidget* parent = nullptr);
    ~ScreenRecordingPermissionPage() override;

    bool isPermissionGranted() const { return m_isPermissionGranted; }
    bool hasTriggeredRequest() const { return m_hasTriggeredRequest; }
    bool isPolling() const { return m_pollTimer.isActive(); }

public slots:
    void checkScreenRecordingPermission();
    // First call: runs the probe that makes the system ask; later calls open
    // the settings instead.
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
