#pragma once

#include "sync/SyncStatus.h"

#include <QTimer>
#include <QWidget>

class CloudSyncService;
class QCheckBox;
class QLabel;

// The sync row of the history window: the "Enable Sync" switch, the status
// (the sync symbol in blue while on, turning with a spinner while a run is
// under way, green with a check after a run, red with the reason as tooltip
// after a failure; nothing while off and idle) and "Last sync: " with how
// long ago. Follows the service live.
class SyncFooter : public QWidget
{
    Q_OBJECT
public:
    explicit SyncFooter(CloudSyncService& sync, QWidget* parent = nullptr);

    QCheckBox* enableSwitch() const { return m_switch; }
    QWidget* statusIndicator() const { return m_status; }
    QLabel* lastSyncLabel() const { return m_lastSync; }

private:
    void refresh();

    CloudSyncService& m_sync;
    QCheckBox* m_switch = nullptr;
    QWidget* m_status = nullptr;
    QLabel* m_lastSync = nullptr;
    QTimer m_clockTimer;
};
