#include "TestEnvironment.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "views/OnboardingView.h"
#include "views/OnboardingWindowController.h"
#include "views/PageIndicator.h"
#include "views/ScreenRecordingPermissionPage.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocumentFragment>

#include <memory>

namespace {

class FakePermission final : public ScreenCapturePermission
{
public:
    bool isGranted() const override
    {
        ++checks;
        return granted;
    }
    bool asksUser() const override { return true; }
    bool granted = false;
    mutable int checks = 0;
};

QString plainText(const QLabel* label)
{
    return label->textFormat() == Qt::RichText
               ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
               : label->text();
}

// Every label and button text in the window, across all pages.
QStringList allTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        texts << plainText(label);
    }
    for (const QPushButton* button : root->findChildren<QPushButton*>()) {
        texts << button->text();
    }
    return texts;
}

QPushButton* buttonWithText(const QWidget* root, const QString& text)
{
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

QLabel* labelWithText(const QWidget* root, const QString& text)
{
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (plainText(label) == text) {
            return label;
        }
    }
    return nullptr;
}

} // namespace

class TestOnboarding : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowIsSetUpAsDescribed();
    void navigationButtonsFollowThePage();
    void pagesAreClamped();
    void keyboardNavigation();
    void closingUnfinishedQuitsWithoutThePreference();
    void getStartedCompletes_data();
    void getStartedCompletes();
    void destroyingTheControllerIsNotAClose();
    void x11PermissionIsGrantedAtOnce();
    void grantPressesProbeThenOpenSettings();
    void grantingElsewhereReplacesTheButton_data();
    void grantingElsewhereReplacesTheButton();
    void pollingPausesWhileThePageIsHidden();
    void indicatorMarksTheCurrentPage();
    void texts_data();
    void texts();
    void legalLinksUseTheConfiguredAddresses();

private:
    OnboardingWindowController&
    makeController(OnboardingOptions options = {},
                   std::chrono::milliseconds pollInterval = std::chrono::milliseconds(20));
    void showAndActivate();

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<OnboardingWindowController> m_controller;
    std::shared_ptr<FakePermission> m_permission;
    int m_probes = 0;
    int m_settingsOpened = 0;
};

void TestOnboarding::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_prefs = std::make_unique<Preferences>(m_env->configHome() + QStringLiteral("/q/q.conf"));
    m_permission = std::make_shared<FakePermission>();
    m_probes = 0;
    m_settingsOpened = 0;
}

void TestOnboarding::cleanup()
{
    m_controller.reset();
    m_prefs.reset();
    m_env.reset();
}

// A controller with a permission that is not granted until a test says so,
// polled quickly so that tests need not wait a second.
OnboardingWindowController& TestOnboarding::makeController(OnboardingOptions options,
                                                           std::chrono::milliseconds pollInterval)
{
    if (!options.permission) {
        options.permission = m_permission;
    }
    options.probe = [this] { ++m_probes; };
    options.openSettings = [this] { ++m_settingsOpened; };
    options.permissionPollInterval = pollInterval;
    m_controller = std::make_unique<OnboardingWindowController>(*m_prefs, options);
    return *m_controller;
}

void TestOnboarding::showAndActivate()
{
    m_controller->showWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_controller->window()));
}

void TestOnboarding::windowIsSetUpAsDescribed()
{
    makeController();
    showAndActivate();
    QWidget* window = m_controller->window();
    QCOMPARE(window->windowTitle(), QStringLiteral("Welcome to quillsnap"));
    QCOMPARE(window->size(), QSize(600, 500));
    QVERIFY(!window->testAttribute(Qt::WA_DeleteOnClose));
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(qAbs(window->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(window->geometry().center().y() - screen.center().y()) <= 1);
    QCOMPARE(m_controller->view()->currentPage(), 0);
    QCOMPARE(m_controller->view()->totalPages(), 3);
}

void TestOnboarding::navigationButtonsFollowThePage()
{
    makeController();
    showAndActivate();
    OnboardingView* view = m_controller->view();

    QVERIFY(!view->backButton()->isVisible());
    QCOMPARE(view->primaryButton()->text(), QStringLiteral("Continue"));

    view->primaryButton()->click();
    QCOMPARE(view->currentPage(), 1);
    QVERIFY(view->backButton()->isVisible());
    QCOMPARE(view->primaryButton()->text(), QStringLiteral("Continue"));

    view->primaryButton()->click();
    QCOMPARE(view->currentPage(), 2);
    QVERIFY(view->backButton()->isVisible());
    QCOMPARE(view->primaryButton()->text(), QStringLiteral("Get Started"));
    QVERIFY(!buttonWithText(m_controller->window(), QStringLiteral("Continue")));

    view->backButton()->click();
    QCOMPARE(view->currentPage(), 1);
    QCOMPARE(view->primaryButton()->text(), QStringLiteral("Continue"));
    QVERIFY(!m_prefs->contains(PreferenceKeys::hasCompletedOnboarding));
}

void TestOnboarding::pagesAreClamped()
{
    makeController();
    OnboardingView* view = m_controller->view();
    QSignalSpy changed(view, &OnboardingView::currentPageChanged);
    view->setCurrentPage(-4);
    QCOMPARE(view->currentPage(), 0);
    view->goBack();
    QCOMPARE(view->currentPage(), 0);
    view->setCurrentPage(9);
    QCOMPARE(view->currentPage(), 2);
    view->goForward();
    QCOMPARE(view->currentPage(), 2);
    QCOMPARE(changed.count(), 1);
}

void TestOnboarding::keyboardNavigation()
{
    makeController();
    showAndActivate();
    QWidget* window = m_controller->window();
    OnboardingView* view = m_controller->view();

    // Escape has nothing to go back to on the first page.
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(view->currentPage(), 0);
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(view->currentPage(), 1);
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(view->currentPage(), 0);
    QTest::keyClick(window, Qt::Key_Enter);
    QCOMPARE(view->currentPage(), 1);
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(view->currentPage(), 2);
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(view->currentPage(), 1);
    QVERIFY(window->isVisible());
}

void TestOnboarding::closingUnfinishedQuitsWithoutThePreference()
{
    makeController();
    showAndActivate();
    QSignalSpy closed(m_controller.get(), &OnboardingWindowController::closed);
    m_controller->view()->setCurrentPage(1);

    QVERIFY(m_controller->window()->close());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.at(0).at(0).toBool(), false);
    QVERIFY(!m_controller->window()->isVisible());
    QVERIFY(!m_prefs->contains(PreferenceKeys::hasCompletedOnboarding));
    QCOMPARE(m_prefs->hasCompletedOnboarding(), false);
}

void TestOnboarding::getStartedCompletes_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("button") << false;
    QTest::newRow("Return") << true;
}

void TestOnboarding::getStartedCompletes()
{
    QFETCH(bool, byKeyboard);
    makeController();
    showAndActivate();
    QSignalSpy closed(m_controller.get(), &OnboardingWindowController::closed);
    OnboardingView* view = m_controller->view();
    view->setCurrentPage(2);

    if (byKeyboard) {
        QTest::keyClick(m_controller->window(), Qt::Key_Return);
    } else {
        buttonWithText(m_controller->window(), QStringLiteral("Get Started"))->click();
    }
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.at(0).at(0).toBool(), true);
    QVERIFY(!m_controller->window()->isVisible());
    QCOMPARE(m_prefs->hasCompletedOnboarding(), true);

    // The choice is on disk, where the next start reads it.
    Preferences reread(m_prefs->configFile());
    QCOMPARE(reread.hasCompletedOnboarding(), true);
}

void TestOnboarding::destroyingTheControllerIsNotAClose()
{
    makeController();
    showAndActivate();
    bool emitted = false;
    connect(m_controller.get(), &OnboardingWindowController::closed, this,
            [&emitted] { emitted = true; });
    m_controller.reset();
    QVERIFY(!emitted);
}

void TestOnboarding::x11PermissionIsGrantedAtOnce()
{
    OnboardingOptions options;
    auto granted = std::make_shared<FakePermission>();
    granted->granted = true;
    options.permission = granted;
    makeController(options);
    showAndActivate();
    m_controller->view()->setCurrentPage(1);
    ScreenRecordingPermissionPage* page = m_controller->view()->permissionPage();

    QVERIFY(page->isPermissionGranted());
    QVERIFY(!page->isPolling());
    QVERIFY(labelWithText(page, QStringLiteral("Permission granted!"))->isVisible());
    QVERIFY(!buttonWithText(page, QStringLiteral("Grant Permission"))->isVisible());
    QVERIFY(!labelWithText(page, QStringLiteral("Note: You can skip this and enable it later"))
                 ->isVisible());
}

void TestOnboarding::grantPressesProbeThenOpenSettings()
{
    makeController();
    showAndActivate();
    m_controller->view()->setCurrentPage(1);
    ScreenRecordingPermissionPage* page = m_controller->view()->permissionPage();
    QPushButton* grant = buttonWithText(page, QStringLiteral("Grant Permission"));
    QVERIFY(grant && grant->isVisible());
    QVERIFY(grant->width() <= 250);
    QVERIFY(labelWithText(page, QStringLiteral("Note: You can skip this and enable it later"))
                ->isVisible());
    QVERIFY(!labelWithText(page, QStringLiteral("Permission granted!"))->isVisible());
    QVERIFY(!page->hasTriggeredRequest());

    QTest::mouseClick(grant, Qt::LeftButton);
    QCOMPARE(m_probes, 1);
    QCOMPARE(m_settingsOpened, 0);
    QVERIFY(page->hasTriggeredRequest());

    QTest::mouseClick(grant, Qt::LeftButton);
    QTest::mouseClick(grant, Qt::LeftButton);
    QCOMPARE(m_probes, 1);
    QCOMPARE(m_settingsOpened, 2);
    // The page itself moves on only through the navigation row.
    QCOMPARE(m_controller->view()->currentPage(), 1);
}

void TestOnboarding::grantingElsewhereReplacesTheButton_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("fast") << 20;
    QTest::newRow("default interval") << int(OnboardingOptions{}.permissionPollInterval.count());
}

void TestOnboarding::grantingElsewhereReplacesTheButton()
{
    QFETCH(int, intervalMs);
    makeController({}, std::chrono::milliseconds(intervalMs));
    showAndActivate();
    m_controller->view()->setCurrentPage(1);
    ScreenRecordingPermissionPage* page = m_controller->view()->permissionPage();
    QSignalSpy changed(page, &ScreenRecordingPermissionPage::permissionGrantedChanged);
    QVERIFY(page->isPolling());
    // It keeps asking while the permission is missing.
    QTRY_VERIFY_WITH_TIMEOUT(m_permission->checks >= 2, intervalMs * 2 + 500);

    m_permission->granted = true;
    QElapsedTimer sinceGranted;
    sinceGranted.start();
    QTRY_VERIFY_WITH_TIMEOUT(page->isPermissionGranted(), intervalMs + 300);
    qInfo("granted noticed after %lld ms", sinceGranted.elapsed());
    QVERIFY(labelWithText(page, QStringLiteral("Permission granted!"))->isVisible());
    QVERIFY(!buttonWithText(page, QStringLiteral("Grant Permission"))->isVisible());
    QCOMPARE(changed.count(), 1);

    // A granted answer ends the polling.
    QVERIFY(!page->isPolling());
    const int checks = m_permission->checks;
    QTest::qWait(100);
    QCOMPARE(m_permission->checks, checks);
}

void TestOnboarding::pollingPausesWhileThePageIsHidden()
{
    makeController();
    showAndActivate();
    OnboardingView* view = m_controller->view();
    ScreenRecordingPermissionPage* page = view->permissionPage();
    QCOMPARE(m_permission->checks, 0); // not asked before the page is seen

    view->setCurrentPage(1);
    QCOMPARE(m_permission->checks, 1); // asked at once on showing
    QVERIFY(page->isPolling());

    view->setCurrentPage(2);
    QVERIFY(!page->isPolling());
    const int checks = m_permission->checks;
    QTest::qWait(100);
    QCOMPARE(m_permission->checks, checks);

    // Granted while away: the page knows as soon as it is back.
    m_permission->granted = true;
    view->setCurrentPage(1);
    QVERIFY(page->isPermissionGranted());
    QVERIFY(!page->isPolling());
}

void TestOnboarding::indicatorMarksTheCurrentPage()
{
    makeController();
    showAndActivate();
    OnboardingView* view = m_controller->view();
    PageIndicator* indicator = view->pageIndicator();
    QCOMPARE(indicator->count(), 3);
    QCOMPARE(indicator->sizeHint(), QSize(3 * 8 + 2 * 8, 8));

    const QColor accent = view->palette().color(QPalette::Highlight);
    for (int page = 0; page < 3; ++page) {
        view->setCurrentPage(page);
        QCOMPARE(indicator->current(), page);
        const QImage image = indicator->grab().toImage();
        const int left = (indicator->width() - indicator->sizeHint().width()) / 2;
        for (int dot = 0; dot < 3; ++dot) {
            const QColor pixel = image.pixelColor(left + dot * 16 + 4, indicator->height() / 2);
            if (dot == page) {
                QCOMPARE(pixel.rgb(), accent.rgb());
            } else {
                QVERIFY2(qAbs(pixel.red() - accent.red()) + qAbs(pixel.blue() - accent.blue()) > 60,
                         qPrintable(pixel.name()));
            }
        }
    }
}

void TestOnboarding::texts_data()
{
    QTest::addColumn<QString>("text");
    const QStringList texts{
        QStringLiteral("Welcome to quillsnap"),
        QStringLiteral("Capture screenshots and extract text instantly"),
        QStringLiteral("Quick Capture"),
        QStringLiteral("Press ⌘⇧8 to capture any area"),
        QStringLiteral("Instant OCR"),
        QStringLiteral("Automatic text recognition"),
        QStringLiteral("Auto Copy"),
        QStringLiteral("Text copied to clipboard immediately"),
        QStringLiteral("Screen Recording Permission"),
        QStringLiteral("Grant screen recording permission to capture screenshots"),
        QStringLiteral("Click \"Grant Permission\" below"),
        QStringLiteral("Your desktop will ask for permission"),
        QStringLiteral("Click \"Open System Settings\""),
        QStringLiteral("Enable quillsnap and restart"),
        QStringLiteral("Permission granted!"),
        QStringLiteral("Grant Permission"),
        QStringLiteral("Note: You can skip this and enable it later"),
        QStringLiteral("You're All Set!"),
        QStringLiteral("quillsnap is ready to use"),
        QStringLiteral("Press ⌘⇧8"),
        QStringLiteral("Capture and extract text from any screen area"),
        QStringLiteral("Menu Bar Icon"),
        QStringLiteral("Access settings and features from the menu bar"),
        QStringLiteral("Back"),
        QStringLiteral("Continue"),
        QStringLiteral("By continuing, you agree to our Terms of Service and Privacy Policy."),
    };
    for (const QString& text : texts) {
        QTest::newRow(qPrintable(text)) << text;
    }
}

void TestOnboarding::texts()
{
    QFETCH(QString, text);
    makeController();
    QVERIFY2(allTexts(m_controller->window()).contains(text), qPrintable(text));
}

void TestOnboarding::legalLinksUseTheConfiguredAddresses()
{
    OnboardingOptions options;
    options.websiteUrl = QUrl(QStringLiteral("https://example.test/quillsnap/"));
    options.privacyPolicyUrl = QUrl(QStringLiteral("https://legal.example.test/privacy?app=q&v=1"));
    QList<QUrl> opened;
    options.openUrl = [&opened](const QUrl& url) { opened << url; };
    makeController(options);

    QLabel* legal = m_controller->view()->legalLabel();
    QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    QStringList links;
    for (auto it = href.globalMatch(legal->text()); it.hasNext();) {
        links << QTextDocumentFragment::fromHtml(it.next().captured(1)).toPlainText();
    }
    QCOMPARE(links.size(), 2);
    for (const QString& link : links) {
        emit legal->linkActivated(link);
    }
    QCOMPARE(opened, (QList<QUrl>{QUrl(QStringLiteral("https://example.test/quillsnap/terms")),
                                  options.privacyPolicyUrl}));
}

QTEST_MAIN(TestOnboarding)
#include "tst_onboarding.moc"
