#include "views/SyncFooter.h"

#include "sync/CloudSyncService.h"
#include "views/SymbolIcon.h"
#include "views/ViewStyle.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kIconSize = 18;

// The status symbol: sync arrows in the state's colour with a badge for
// success and failure, so the state does not rest on colour alone, and a
// turning arc beside them during a run.
class SyncStatusIndicator : public QWidget
{
public:
    explicit SyncStatusIndicator(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(2 * kIconSize + 4, kIconSize);
        m_spin.setInterval(40);
        connect(&m_spin, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 24) % 360;
            update();
        });
    }

    void show(const SyncStatus& status, bool enabled)
    {
        m_status = status;
        m_enabled = enabled;
        const bool syncing = status.state == SyncStatus::State::syncing;
        if (syncing && !m_spin.isActive()) {
            m_spin.start();
        } else if (!syncing) {
            m_spin.stop();
        }
        setToolTip(status.state == SyncStatus::State::error ? status.message : QString());
        setAccessibleName(accessibleText());
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF icon(0, 0, kIconSize, kIconSize);
        switch (m_status.state) {
        case SyncStatus::State::idle:
            if (m_enabled) {
                SymbolIcon::paint(p, u"sync", icon, ViewStyle::syncedBlue());
            }
            break;
        case SyncStatus::State::syncing: {
            p.setPen(QPen(ViewStyle::syncedBlue(), 2.0, Qt::SolidLine, Qt::RoundCap));
            const QRectF arc(3, 3, kIconSize * 0.7, kIconSize * 0.7);
            p.drawArc(arc, -m_angle * 16, 270 * 16);
            SymbolIcon::paint(p, u"sync", icon.translated(kIconSize + 4, 0),
                              ViewStyle::syncedBlue());
            break;
        }
        case SyncStatus::State::success:
            SymbolIcon::paint(p, u"sync", icon, ViewStyle::success());
            badge(p, ViewStyle::success(), palette().window().color(), false);
            break;
        case SyncStatus::State::error:
            SymbolIcon::paint(p, u"sync", icon, ViewStyle::destructiveRed());
            badge(p, ViewStyle::destructiveRed(), palette().window().color(), true);
            break;
        }
    }

private:
    // A filled dot at the lower right with a check or an exclamation mark,
    // set off from the arrows by a ring of the background.
    static void badge(QPainter& p, const QColor& color, const QColor& background, bool exclamation)
    {
        const QPointF centre(kIconSize - 4.5, kIconSize - 4.5);
        p.setPen(Qt::NoPen);
        p.setBrush(background);
        p.drawEllipse(centre, 5.8, 5.8);
        p.setBrush(color);
        p.drawEllipse(centre, 4.5, 4.5);
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        if (exclamation) {
            p.drawLine(centre + QPointF(0, -2.5), centre + QPointF(0, 0.5));
            p.drawPoint(centre + QPointF(0, 2.5));
        } else {
            QPainterPath check;
            check.moveTo(centre + QPointF(-2.2, 0));
            check.lineTo(centre + QPointF(-0.6, 1.8));
            check.lineTo(centre + QPointF(2.4, -1.8));
            p.drawPath(check);
        }
    }

    QString accessibleText() const
    {
        switch (m_status.state) {
        case SyncStatus::State::idle:
            return m_enabled ? SyncFooter::tr("Sync is on") : QString();
        case SyncStatus::State::syncing:
            return SyncFooter::tr("Syncing");
        case SyncStatus::State::success:
            return SyncFooter::tr("Synced");
        case SyncStatus::State::error:
            return SyncFooter::tr("Sync failed: %1").arg(m_status.message);
        }
        return {};
    }

    SyncStatus m_status;
    bool m_enabled = false;
    QTimer m_spin;
    int m_angle = 0;
};

} // namespace

SyncFooter::SyncFooter(CloudSyncService& sync, QWidget* parent) : QWidget(parent), m_sync(sync)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_switch = new QCheckBox(tr("Enable Sync"), this);
    m_switch->setToolTip(
        tr("Sync your capture history between your machines, end-to-end encrypted, through a "
           "WebDAV server or a synced folder"));
    m_status = new SyncStatusIndicator(this);
    m_lastSync = ViewStyle::makeLabel(QString(), ViewStyle::font(11), this);
    ViewStyle::makeSecondary(m_lastSync);
    layout->addWidget(m_switch);
    layout->addWidget(m_status);
    layout->addStretch(1);
    layout->addWidget(m_lastSync);

    connect(m_switch, &QCheckBox::toggled, &m_sync, &CloudSyncService::setICloudSyncEnabled);
    connect(&m_sync, &CloudSyncService::iCloudSyncEnabledChanged, this, &SyncFooter::refresh);
    connect(&m_sync, &CloudSyncService::syncStatusChanged, this, &SyncFooter::refresh);
    connect(&m_sync, &CloudSyncService::lastSyncDateChanged, this, &SyncFooter::refresh);
    // "2 minutes ago" moves on while the window is open.
    m_clockTimer.setInterval(30000);
    connect(&m_clockTimer, &QTimer::timeout, this, &SyncFooter::refresh);
    m_clockTimer.start();
    refresh();
}

void SyncFooter::refresh()
{
    const QSignalBlocker blocker(m_switch);
    m_switch->setChecked(m_sync.iCloudSyncEnabled());
    static_cast<SyncStatusIndicator*>(m_status)->show(m_sync.syncStatus(),
                                                      m_sync.iCloudSyncEnabled());
    m_lastSync->setText(tr("Last sync: %1").arg(m_sync.lastSyncText()));
}
