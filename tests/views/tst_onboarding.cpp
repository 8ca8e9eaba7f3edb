#include "CaseTable.h"
#include "ViewsFixture.h"
#include "platform/DesktopShortcutSetup.h"
#include "settings/PreferenceKeys.h"
#include "views/OnboardingView.h"
#include "views/PageIndicator.h"
#include "views/ScreenRecordingPermissionPage.h"
#include "views/ShortcutSetupPage.h"
#include "views/ShortcutSetupPanel.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// Keys pressed where the focus is: R Return, N keypad Enter, E Escape,
// T Tab, S Shift+Tab; B clicks "Back".
void press(OnboardingView* view, QStringView keys)
{
    const Qt::Key codes[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab,
                             Qt::Key_Backtab};
    for (const QChar key : keys) {
        if (key == u'B') {
            QTest::mouseClick(view->backButton(), Qt::LeftButton);
        } else {
            QTest::keyClick(QApplication::focusWidget(), codes[QStringView(u"RNETS").indexOf(key)]);
        }
    }
}

} // namespace

class TestOnboarding : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewsFixture> m_f;
    std::shared_ptr<FakePermission> m_permission;
    std::unique_ptr<OnboardingWindowController> m_controller;
    int m_probes = 0;
    int m_settingsOpened = 0;
    int m_linksOpened = 0;

    // The window, with a permission not granted until a test says so and
    // polled quickly. permission: 0 none, 1 not asked for, 2 asked for.
    OnboardingView* open(int permission = 2, OnboardingOptions options = {},
                         bool settingsPlace = true)
    {
        m_permission->asks = permission == 2;
        if (permission > 0) {
            options.permission = m_permission;
        }
        options.probe = [this] { ++m_probes; };
        if (settingsPlace) {
            options.openSettings = [this] { ++m_settingsOpened; };
        }
        options.permissionPollInterval = 20ms;
        options.openUrl = [this](const QUrl&) { ++m_linksOpened; };
        m_controller = std::make_unique<OnboardingWindowController>(m_f->prefs, options);
        m_controller->showWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(m_controller->window())); }();
        return m_controller->view();
    }

private slots:
    void init()
    {
        m_f = std::make_unique<ViewsFixture>();
        m_permission = std::make_shared<FakePermission>();
        m_probes = m_settingsOpened = m_linksOpened = 0;
    }
    void cleanup() { m_controller.reset(); }

    // permission (0 none, 1 not asked for, 2 asked for), keys, the page
    // reached and the links opened.
    void navigation_data()
    {
        rows({u"2→→0→0", u"2→E→0→0", u"2→R→1→0", u"2→N→1→0", u"2→RE→0→0", u"2→RR→2→0", u"2→RRB→1→0",
              u"2→RRSR→1→0", u"1→R→1→0", u"0→R→1→0", u"1→RE→0→0",
              // Into the legal line, to its first link, open; the next one, open.
              u"2→TTRTR→0→2"});
    }
    void navigation()
    {
        const QStringList f = fields();
        const int permission = f[0].toInt(), page = f[2].toInt();
        OnboardingView* view = open(permission);
        const int last = permission == 2 ? 2 : 1;
        QCOMPARE(view->totalPages(), last + 1);
        QCOMPARE(view->pageIndicator()->count(), last + 1);
        QVERIFY(view->primaryButton()->hasFocus());
        press(view, f[1]);
        QCOMPARE(view->currentPage(), page);
        QCOMPARE(view->pageIndicator()->current(), page);
        QCOMPARE(m_linksOpened, f[3].toInt());
        QCOMPARE(view->backButton()->isVisible(), page > 0);
        QCOMPARE(view->primaryButton()->text(), page == last ? u"Get Started"_s : u"Continue"_s);
        QCOMPARE(view->permissionPage() && view->currentPageWidget() == view->permissionPage(),
                 permission == 2 && page == 1);
        QVERIFY(!m_f->prefs.contains(PreferenceKeys::hasCompletedOnboarding));
    }

    // Return on the last page completes, on disk at once where the next
    // start reads it; a controller destroyed is not a close. (A click on
    // "Get Started" and a closed window: tst_appdelegate.)
    void closing_data()
    {
        QTest::addColumn<bool>("returnKey");
        QTest::newRow("Return on the last page") << true;
        QTest::newRow("controller destroyed: not a close") << false;
    }
    void closing()
    {
        QFETCH(bool, returnKey);
        OnboardingView* view = open();
        QSignalSpy closed(m_controller.get(), &OnboardingWindowController::closed);
        view->setCurrentPage(2);
        returnKey ? press(view, u"R") : m_controller.reset();
        QCOMPARE(closed.count(), int(returnKey));
        QVERIFY(!returnKey ||
                (closed.at(0).at(0).toBool() && !m_controller->window()->isVisible()));
        QFile conf(m_f->prefs.configFile());
        QCOMPARE(conf.open(QIODevice::ReadOnly) && conf.readAll().contains("Onboarding=true"),
                 returnKey);
    }

    void grantPresses_data()
    {
        QTest::addColumn<bool>("settingsPlace");
        QTest::addColumn<int>("probes");
        QTest::newRow("probe first, then the settings") << true << 1;
        QTest::newRow("no settings place: ask again") << false << 3;
    }
    void grantPresses()
    {
        QFETCH(bool, settingsPlace);
        QFETCH(int, probes);
        OnboardingView* view = open(2, {}, settingsPlace);
        view->setCurrentPage(1);
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(view->permissionPage()->grantButton(), Qt::LeftButton);
        }
        QCOMPARE(m_probes, probes);
        QCOMPARE(m_settingsOpened, 3 - probes);
        QCOMPARE(view->currentPage(), 1); // only the navigation row moves on
    }

    void permissionIsPolledWhileShownAndMissing()
    {
        OnboardingView* view = open();
        ScreenRecordingPermissionPage* page = view->permissionPage();
        QCOMPARE(m_permission->checks, 0); // not asked before the page is seen
        view->setCurrentPage(1);
        QCOMPARE(m_permission->checks, 1); // asked at once on showing
        QTRY_VERIFY(m_permission->checks >= 3);
        view->setCurrentPage(2);
        QVERIFY(!page->isPolling());
        // Granted while away: known as soon as the page is back.
        m_permission->granted = true;
        view->setCurrentPage(1);
        QVERIFY(page->isPermissionGranted() && !page->grantButton()->isVisible());
        QVERIFY(!page->isPolling());
        // Granted while shown: the button gives way at the next check.
        m_permission->granted = false;
        view->setCurrentPage(2);
        view->setCurrentPage(1);
        QVERIFY(page->grantButton()->isVisible());
        m_permission->granted = true;
        QTRY_VERIFY(!page->grantButton()->isVisible());
        QVERIFY(!page->isPolling());
    }

    // Where the desktop keeps the global keys (sway), a page offers the
    // shortcut; a failed write says why and can be tried again. Elsewhere it
    // tells what to bind by hand.
    void shortcutPage_data()
    {
        QTest::addColumn<bool>("sway");
        QTest::newRow("sway") << true;
        QTest::newRow("by hand") << false;
    }
    void shortcutPage()
    {
        QFETCH(bool, sway);
        const QString config = m_f->env.root() + u"/sway/config"_s;
        QVERIFY(QDir().mkpath(config)); // a folder in the way
        OnboardingOptions options;
        options.shortcutSetup = std::make_shared<DesktopShortcutSetup>(
            DesktopEnvironment::Session{DesktopEnvironment::Kind::wlroots, true, sway},
            KeyPress{28, CarbonModifier::Shift | CarbonModifier::Command},
            u"quillsnap-cli capture"_s, DesktopShortcutSetup::Paths{config, config + u"-none"_s});
        OnboardingView* view = open(0, options);
        QCOMPARE(view->totalPages(), 3);
        press(view, u"R");
        auto* page = qobject_cast<ShortcutSetupPage*>(view->currentPageWidget());
        QVERIFY(page);
        QCOMPARE(page->panel()->setUpButton()->isVisible(), sway);
        if (!sway) {
            return;
        }
        page->panel()->setUpButton()->click();
        QTRY_VERIFY(page->panel()->statusLabel()->text().startsWith(config + u" cannot be"_s));
        QVERIFY(QDir(config).removeRecursively());
        page->panel()->setUpButton()->click();
        QTRY_COMPARE(page->panel()->statusLabel()->text(),
                     u"Shortcut added: Mod4+Shift+8 runs \"quillsnap-cli capture\"."_s);
    }

    void pagesNameTheKeySequenceInForce()
    {
        OnboardingOptions options;
        options.keySequenceText = u"Ctrl+Alt+Q"_s;
        int named = 0;
        for (const QLabel* label : open(2, options)->findChildren<QLabel*>()) {
            named += label->text().startsWith(u"Press Ctrl+Alt+Q");
        }
        QCOMPARE(named, 2); // welcome and completion
    }
};

QTEST_MAIN(TestOnboarding)
#include "tst_onboarding.moc"
