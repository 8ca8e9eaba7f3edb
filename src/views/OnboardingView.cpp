#include "views/OnboardingView.h"

#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "views/CompletionPage.h"
#include "views/PageIndicator.h"
#include "views/ScreenRecordingPermissionPage.h"
#include "views/ShortcutSetupPage.h"
#include "views/ViewStyle.h"
#include "views/WelcomePage.h"

#include <QDesktopServices>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace ViewStyle;

namespace {

constexpr int kPageFadeMs = 180;

QString linkHtml(const QUrl& url, const QString& text, const QColor& color)
{
    return QStringLiteral("<a href=\"%1\" style=\"color: %2; text-decoration: none;\">%3</a>")
        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), color.name(), text.toHtmlEscaped());
}

} // namespace

OnboardingView::OnboardingView(Preferences& preferences, const OnboardingOptions& options,
                               QWidget* parent)
    : QWidget(parent), m_preferences(preferences), m_options(options)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 15);
    layout->setSpacing(0);

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(new WelcomePage(m_options.keySequenceText, m_stack));
    // Where any application may read the screen (X11), there is nothing to
    // grant and the page would only confuse.
    if (m_options.permission && m_options.permission->asksUser()) {
        m_permissionPage = new ScreenRecordingPermissionPage(
            m_options.permission, m_options.probe, m_options.openSettings,
            m_options.permissionPollInterval, m_stack);
        m_stack->addWidget(m_permissionPage);
    }
    if (m_options.shortcutSetup) {
        m_stack->addWidget(new ShortcutSetupPage(m_options.shortcutSetup, m_stack));
    }
    m_stack->addWidget(new CompletionPage(m_options.keySequenceText, m_stack));
    m_totalPages = m_stack->count();
    layout->addWidget(m_stack, 1);

    // Equal side columns keep the dots centred whether or not "Back" shows.
    auto* navigation = new QWidget(this);
    auto* grid = new QGridLayout(navigation);
    grid->setContentsMargins(40, 0, 40, 0);
    grid->setHorizontalSpacing(12);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    m_backButton = new QPushButton(tr("Back"), navigation);
    makeBordered(m_backButton);
    m_backButton->setAutoDefault(true); // Return presses it when it has the focus
    QSizePolicy keepSpace = m_backButton->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    m_backButton->setSizePolicy(keepSpace);
    connect(m_backButton, &QPushButton::clicked, this, &OnboardingView::goBack);
    grid->addWidget(m_backButton, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);

    m_indicator = new PageIndicator(m_totalPages, navigation);
    grid->addWidget(m_indicator, 0, 1, Qt::AlignCenter);

    m_primaryButton = new QPushButton(navigation);
    makeProminent(m_primaryButton);
    m_primaryButton->setDefault(true);
    connect(m_primaryButton, &QPushButton::clicked, this, &OnboardingView::primaryAction);
    grid->addWidget(m_primaryButton, 0, 2, Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(navigation);
    layout->addSpacing(14);

    const QColor linkColor = accent(palette());
    m_legal = new QLabel(this);
    m_legal->setTextFormat(Qt::RichText);
    m_legal->setText(
        tr("By continuing, you agree to our %1 and %2.")
            .arg(linkHtml(m_options.resolvedTermsOfServiceUrl(), tr("Terms of Service"), linkColor),
                 linkHtml(m_options.resolvedPrivacyPolicyUrl(), tr("Privacy Policy"), linkColor)));
    m_legal->setFont(textFont(TextStyle::SmallCaption));
    makeSecondary(m_legal);
    m_legal->setAlignment(Qt::AlignCenter);
    m_legal->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_legal->setOpenExternalLinks(false);
    connect(m_legal, &QLabel::linkActivated, this, [this](const QString& link) {
        const QUrl url(link);
        if (m_options.openUrl) {
            m_options.openUrl(url);
        } else {
            QDesktopServices::openUrl(url);
        }
    });
    layout->addWidget(m_legal);

    updateNavigation();
}

OnboardingView::~OnboardingView() = default;

QWidget* OnboardingView::currentPageWidget() const
{
    return m_stack->currentWidget();
}

void OnboardingView::keyPressEvent(QKeyEvent* event)
{
    // What the focused widget leaves alone: a focused button takes Return
    // itself and a focused link opens, as in a dialog; the rest goes to the
    // default button. Escape goes back (nowhere on the first page).
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_primaryButton->click();
        break;
    case Qt::Key_Escape:
        goBack();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void OnboardingView::setCurrentPage(int page)
{
    page = std::clamp(page, 0, m_totalPages - 1);
    if (page == m_currentPage) {
        return;
    }
    m_currentPage = page;
    m_stack->setCurrentIndex(page);
    animateIn(m_stack->currentWidget());
    updateNavigation();
    emit currentPageChanged(page);
}

void OnboardingView::goBack()
{
    if (m_currentPage >= 1) {
        setCurrentPage(m_currentPage - 1);
    }
}

void OnboardingView::goForward()
{
    if (m_currentPage < m_totalPages - 1) {
        setCurrentPage(m_currentPage + 1);
    }
}

void OnboardingView::completeOnboarding()
{
    m_preferences.setValue(PreferenceKeys::hasCompletedOnboarding, true);
    m_preferences.sync();
    emit onboardingCompleted();
    window()->close();
}

void OnboardingView::primaryAction()
{
    if (m_currentPage < m_totalPages - 1) {
        goForward();
    } else {
        completeOnboarding();
    }
}

void OnboardingView::updateNavigation()
{
    m_backButton->setVisible(m_currentPage >= 1);
    m_primaryButton->setText(m_currentPage < m_totalPages - 1 ? tr("Continue") : tr("Get Started"));
    m_indicator->setCurrent(m_currentPage);
}

void OnboardingView::animateIn(QWidget* page)
{
    // A fade cut short (quick clicks) would leave its page half transparent.
    if (m_animation) {
        m_animation->stop();
    }
    for (int i = 0; i < m_stack->count(); ++i) {
        m_stack->widget(i)->setGraphicsEffect(nullptr);
    }
    auto* effect = new QGraphicsOpacityEffect(page);
    effect->setOpacity(0.0);
    page->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", this);
    animation->setDuration(kPageFadeMs);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    // The effect renders the page through an offscreen pixmap; drop it as soon
    // as the fade is over.
    connect(animation, &QAbstractAnimation::finished, page,
            [page] { page->setGraphicsEffect(nullptr); });
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
