#include "views/ScreenRecordingPermissionPage.h"

#include "capture/ScreenCapturePermission.h"
#include "views/InstructionStep.h"
#include "views/OnboardingStyle.h"
#include "views/SymbolIcon.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace OnboardingStyle;

namespace {
constexpr int kGrantButtonMaxWidth = 250;
} // namespace

ScreenRecordingPermissionPage::ScreenRecordingPermissionPage(
    std::shared_ptr<const ScreenCapturePermission> permission, std::function<void()> probe,
    std::function<void()> openSettings, std::chrono::milliseconds pollInterval, QWidget* parent)
    : QWidget(parent), m_permission(std::move(permission)), m_probe(std::move(probe)),
      m_openSettings(std::move(openSettings))
{
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this,
            &ScreenRecordingPermissionPage::checkScreenRecordingPermission);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 24, 40, 16);
    layout->setSpacing(0);
    layout->addStretch(1);

    layout->addWidget(
        SymbolIcon::makeLabel(u"rectangle.dashed.badge.record", 45, accentColor(palette()), this),
        0, Qt::AlignHCenter);
    layout->addSpacing(14);
    layout->addWidget(makeLabel(QStringLiteral("Screen Recording Permission"), titleFont(20), this),
                      0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(makeSecondaryLabel(QStringLiteral("Grant screen recording permission to "
                                                        "capture screenshots"),
                                         TextStyle::Callout, this),
                      0, Qt::AlignHCenter);
    layout->addSpacing(22);

    auto* steps = new QWidget(this);
    auto* stepsLayout = new QVBoxLayout(steps);
    stepsLayout->setContentsMargins(0, 0, 0, 0);
    stepsLayout->setSpacing(10);
    stepsLayout->addWidget(
        new InstructionStep(1, QStringLiteral("Click \"Grant Permission\" below"), steps));
    stepsLayout->addWidget(
        new InstructionStep(2, QStringLiteral("Your desktop will ask for permission"), steps));
    stepsLayout->addWidget(
        new InstructionStep(3, QStringLiteral("Click \"Open System Settings\""), steps));
    stepsLayout->addWidget(
        new InstructionStep(4, QStringLiteral("Enable quillsnap and restart"), steps));
    layout->addWidget(steps, 0, Qt::AlignHCenter);
    layout->addSpacing(22);

    // Granted: a green check with the confirmation.
    m_grantedRow = new QWidget(this);
    auto* grantedLayout = new QHBoxLayout(m_grantedRow);
    grantedLayout->setContentsMargins(0, 0, 0, 0);
    grantedLayout->setSpacing(8);
    grantedLayout->addWidget(
        SymbolIcon::makeLabel(u"checkmark.circle.fill", 20, successColor(), m_grantedRow));
    QFont grantedFont = textFont(TextStyle::Body);
    grantedFont.setWeight(QFont::Medium);
    grantedLayout->addWidget(
        makeLabel(QStringLiteral("Permission granted!"), grantedFont, m_grantedRow));
    layout->addWidget(m_grantedRow, 0, Qt::AlignHCenter);

    // Not granted: the request button with a note that it can wait.
    m_requestBox = new QWidget(this);
    auto* requestLayout = new QVBoxLayout(m_requestBox);
    requestLayout->setContentsMargins(0, 0, 0, 0);
    requestLayout->setSpacing(8);
    m_grantButton = new QPushButton(QStringLiteral("Grant Permission"), m_requestBox);
    makeProminent(m_grantButton, /*large=*/true);
    m_grantButton->setIcon(
        QIcon(SymbolIcon::pixmap(u"hand.raised.fill", 18, Qt::white, qApp->devicePixelRatio())));
    m_grantButton->setIconSize(QSize(18, 18));
    m_grantButton->setMaximumWidth(kGrantButtonMaxWidth);
    m_grantButton->setMinimumWidth(200);
    connect(m_grantButton, &QPushButton::clicked, this,
            &ScreenRecordingPermissionPage::requestScreenRecordingPermission);
    requestLayout->addWidget(m_grantButton, 0, Qt::AlignHCenter);
    requestLayout->addWidget(makeSecondaryLabel(QStringLiteral("Note: You can skip this and "
                                                               "enable it later"),
                                                TextStyle::Caption, m_requestBox),
                             0, Qt::AlignHCenter);
    layout->addWidget(m_requestBox, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    m_grantedRow->setVisible(false);
}

ScreenRecordingPermissionPage::~ScreenRecordingPermissionPage() = default;

void ScreenRecordingPermissionPage::checkScreenRecordingPermission()
{
    const bool granted = !m_permission || m_permission->isGranted();
    if (granted) {
        m_pollTimer.stop();
    }
    setPermissionGranted(granted);
}

void ScreenRecordingPermissionPage::requestScreenRecordingPermission()
{
    // The flag is set before the probe runs, so a probe that fails to launch
    // still sends the next press to the settings.
    if (!m_hasTriggeredRequest) {
        m_hasTriggeredRequest = true;
        if (m_probe) {
            m_probe();
        }
        return;
    }
    if (m_openSettings) {
        m_openSettings();
    }
}

void ScreenRecordingPermissionPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    checkScreenRecordingPermission();
    if (!m_isPermissionGranted) {
        m_pollTimer.start();
    }
}

void ScreenRecordingPermissionPage::hideEvent(QHideEvent* event)
{
    // Nobody sees the answer while the page is hidden; the next showing
    // checks at once anyway.
    m_pollTimer.stop();
    QWidget::hideEvent(event);
}

void ScreenRecordingPermissionPage::setPermissionGranted(bool granted)
{
    // Keep the layout steady: both rows are swapped in one go.
    m_grantedRow->setVisible(granted);
    m_requestBox->setVisible(!granted);
    if (granted == m_isPermissionGranted) {
        return;
    }
    m_isPermissionGranted = granted;
    emit permissionGrantedChanged(granted);
}
