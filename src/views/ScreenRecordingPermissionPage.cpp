#include "views/ScreenRecordingPermissionPage.h"

#include "capture/ScreenCapturePermission.h"
#include "common/DesktopEnvironment.h"
#include "views/InstructionStep.h"
#include "views/SymbolIcon.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ViewStyle;

namespace {
constexpr int kGrantButtonMaxWidth = 250;
} // namespace

ScreenRecordingPermissionPage::ScreenRecordingPermissionPage(
    std::shared_ptr<const ScreenCapturePermission> permission, std::function<void()> probe,
    std::function<void()> openSettings, std::chrono::milliseconds pollInterval, QWidget* parent)
    : OnboardingPage({QStringLiteral("screen-record"), 45, tr("Screen Recording Permission"), 20,
                      tr("Grant screen recording permission to capture screenshots"),
                      TextStyle::Callout},
                     parent),
      m_permission(std::move(permission)), m_probe(std::move(probe)),
      m_openSettings(std::move(openSettings))
{
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this,
            &ScreenRecordingPermissionPage::checkScreenRecordingPermission);

    auto* steps = new QWidget(this);
    auto* stepsLayout = new QVBoxLayout(steps);
    stepsLayout->setContentsMargins(0, 0, 0, 0);
    stepsLayout->setSpacing(10);
    // The words the desktop's own question uses, where they are known.
    const bool gnome = DesktopEnvironment::current().kind == DesktopEnvironment::Kind::gnome;
    const QString texts[] = {tr("Click \"Grant Permission\" below"),
                             gnome ? tr("GNOME asks \"Allow quillsnap to Take Screenshots?\"")
                                   : tr("Your desktop will ask for permission"),
                             gnome ? tr("Click \"Allow\"")
                                   : tr("Allow quillsnap to take screenshots")};
    for (int i = 0; i < 3; ++i) {
        stepsLayout->addWidget(new InstructionStep(i + 1, texts[i], steps));
    }
    addBlock(steps, 22);

    // Granted: a green check with the confirmation.
    m_grantedRow = new QWidget(this);
    auto* grantedLayout = new QHBoxLayout(m_grantedRow);
    grantedLayout->setContentsMargins(0, 0, 0, 0);
    grantedLayout->setSpacing(8);
    grantedLayout->addWidget(SymbolIcon::makeLabel(u"check-circle", 20, success(), m_grantedRow));
    QFont grantedFont = textFont(TextStyle::Body);
    grantedFont.setWeight(QFont::Medium);
    grantedLayout->addWidget(makeLabel(tr("Permission granted!"), grantedFont, m_grantedRow));
    addBlock(m_grantedRow, 22);

    // Not granted: the request button with a note that it can wait.
    m_requestBox = new QWidget(this);
    auto* requestLayout = new QVBoxLayout(m_requestBox);
    requestLayout->setContentsMargins(0, 0, 0, 0);
    requestLayout->setSpacing(8);
    m_grantButton = new QPushButton(tr("Grant Permission"), m_requestBox);
    makeProminent(m_grantButton, /*large=*/true);
    m_grantButton->setIcon(
        QIcon(SymbolIcon::pixmap(u"hand", 18, Qt::white, qApp->devicePixelRatio())));
    m_grantButton->setIconSize(QSize(18, 18));
    m_grantButton->setMaximumWidth(kGrantButtonMaxWidth);
    m_grantButton->setMinimumWidth(200);
    m_grantButton->setAutoDefault(true); // Return presses it when it has the focus
    connect(m_grantButton, &QPushButton::clicked, this,
            &ScreenRecordingPermissionPage::requestScreenRecordingPermission);
    requestLayout->addWidget(m_grantButton, 0, Qt::AlignHCenter);
    requestLayout->addWidget(makeSecondaryLabel(tr("Note: You can skip this and enable it later"),
                                                TextStyle::Caption, m_requestBox),
                             0, Qt::AlignHCenter);
    addBlock(m_requestBox, 0);

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
    const bool first = !m_hasTriggeredRequest;
    m_hasTriggeredRequest = true;
    if (!first && m_openSettings) {
        m_openSettings();
    } else if (m_probe) {
        m_probe();
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
