#include "ViewsFixture.h"
#include "settings/PreferenceKeys.h"
#include "views/OnboardingView.h"
#include "views/OnboardingWindowController.h"
#include "views/PageIndicator.h"
#include "views/ScreenRecordingPermissionPage.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class TestOnboarding : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewsFixture> m_f;
    std::shared_ptr<FakePermission> m_permission;
    std::unique_ptr<OnboardingWindowController> m_controller;
    int m_probes = 0;
    int m_settingsOpened = 0;
    bool m_settingsPlace = true;

    // Opens the window with a permission that is not granted until a test
    // says so, polled quickly. permission: 0 none, 1 not asked for, 2 asked for.
    OnboardingView* open(int permission = 2, OnboardingOptions options = {})
    {
        m_permission->asks = permission == 2;
        if (permission > 0) {
            options.permission = m_permission;
        }
        options.probe = [this] { ++m_probes; };
        if (m_settingsPlace) {
            options.openSettings = [this] { ++m_settingsOpened; };
        }
        options.permissionPollInterval = 20ms;
        m_controller = std::make_unique<OnboardingWindowController>(m_f->prefs, options);
        m_controller->showWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(m_controller->window())); }();
        return m_controller->view();
    }
    QWidget* window() const { return m_controller->window(); }

private slots:
    void init()
    {
        m_f = std::make_unique<ViewsFixture>();
        m_permission = std::make_shared<FakePermission>();
        m_probes = m_settingsOpened = 0;
        m_settingsPlace = true;
    }
    void cleanup() { m_controller.reset(); }

    void navigation_data()
    {
        QTest::addColumn<int>("permission");
        // R Return, N keypad Enter, E Escape, T Shift+Tab, B a click on "Back"
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("primary");
        QTest::newRow("opens on the first page") << 2 << u""_s << 0 << u"Continue"_s;
        QTest::newRow("Escape on the first page") << 2 << u"E"_s << 0 << u"Continue"_s;
        QTest::newRow("Return moves on") << 2 << u"R"_s << 1 << u"Continue"_s;
        QTest::newRow("keypad Enter moves on") << 2 << u"N"_s << 1 << u"Continue"_s;
        QTest::newRow("Escape goes back") << 2 << u"RE"_s << 0 << u"Continue"_s;
        QTest::newRow("last page") << 2 << u"RR"_s << 2 << u"Get Started"_s;
        QTest::newRow("Back from the last page") << 2 << u"RRB"_s << 1 << u"Continue"_s;
        QTest::newRow("Return on a focused Back") << 2 << u"RRTR"_s << 1 << u"Continue"_s;
        QTest::newRow("desktop does not ask: two pages") << 1 << u"R"_s << 1 << u"Get Started"_s;
        QTest::newRow("no permission at all: two pages") << 0 << u"R"_s << 1 << u"Get Started"_s;
        QTest::newRow("two pages, Escape back") << 1 << u"RE"_s << 0 << u"Continue"_s;
    }
    void navigation()
    {
        QFETCH(int, permission);
        QFETCH(QString, keys);
        QFETCH(int, page);
        QFETCH(QString, primary);
        OnboardingView* view = open(permission);
        QCOMPARE(view->totalPages(), permission == 2 ? 3 : 2);
        QCOMPARE(view->pageIndicator()->count(), view->totalPages());
        QCOMPARE(view->permissionPage() != nullptr, permission == 2);
        QVERIFY(view->primaryButton()->hasFocus());
        for (const QChar key : keys) {
            if (key == u'B') {
                QTest::mouseClick(view->backButton(), Qt::LeftButton);
            } else {
                const Qt::Key code = key == u'R'   ? Qt::Key_Return
                                     : key == u'N' ? Qt::Key_Enter
                                     : key == u'T' ? Qt::Key_Backtab
                                                   : Qt::Key_Escape;
                QTest::keyClick(QApplication::focusWidget(), code);
            }
        }
        QCOMPARE(view->currentPage(), page);
        QCOMPARE(view->pageIndicator()->current(), page);
        QCOMPARE(view->backButton()->isVisible(), page > 0);
        QCOMPARE(view->primaryButton()->text(), primary);
        QCOMPARE(view->currentPageWidget() == view->permissionPage(), permission == 2 && page == 1);
        QVERIFY(window()->isVisible());
        QVERIFY(!m_f->prefs.contains(PreferenceKeys::hasCompletedOnboarding));
    }

    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("completed");
        QTest::newRow("Get Started") << u"button"_s << true;
        QTest::newRow("Return on the last page") << u"Return"_s << true;
        QTest::newRow("window closed on page 2 of 3") << u"close"_s << false;
    }
    void closing()
    {
        QFETCH(QString, how);
        QFETCH(bool, completed);
        OnboardingView* view = open();
        QSignalSpy closed(m_controller.get(), &OnboardingWindowController::closed);
        view->setCurrentPage(how == u"close" ? 1 : 2);
        if (how == u"button") {
            QTest::mouseClick(view->primaryButton(), Qt::LeftButton);
        } else if (how == u"Return") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            QVERIFY(window()->close());
        }
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.at(0).at(0).toBool(), completed);
        QVERIFY(!window()->isVisible());
        // What the next start reads from disk.
        QCOMPARE(
            Preferences(m_f->prefs.configFile(), m_f->prefs.dataDir()).hasCompletedOnboarding(),
            completed);
    }

    void destroyingTheControllerIsNotAClose()
    {
        open();
        QSignalSpy closed(m_controller.get(), &OnboardingWindowController::closed);
        m_controller.reset();
        QCOMPARE(closed.count(), 0);
    }

    void grantPresses_data()
    {
        QTest::addColumn<bool>("settingsPlace");
        QTest::addColumn<int>("probes");
        QTest::addColumn<int>("settingsOpened");
        QTest::newRow("probe first, then the settings") << true << 1 << 2;
        QTest::newRow("no settings place: ask again") << false << 3 << 0;
    }
    void grantPresses()
    {
        QFETCH(bool, settingsPlace);
        QFETCH(int, probes);
        QFETCH(int, settingsOpened);
        m_settingsPlace = settingsPlace;
        OnboardingView* view = open();
        view->setCurrentPage(1);
        ScreenRecordingPermissionPage* page = view->permissionPage();
        QVERIFY(page->grantButton()->isVisible());
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(page->grantButton(), Qt::LeftButton);
        }
        QCOMPARE(m_probes, probes);
        QCOMPARE(m_settingsOpened, settingsOpened);
        QVERIFY(page->hasTriggeredRequest());
        QCOMPARE(view->currentPage(), 1); // only the navigation row moves on
    }

    void grantingElsewhereReplacesTheButton()
    {
        OnboardingView* view = open();
        view->setCurrentPage(1);
        ScreenRecordingPermissionPage* page = view->permissionPage();
        QSignalSpy changed(page, &ScreenRecordingPermissionPage::permissionGrantedChanged);
        QTRY_VERIFY(m_permission->checks >= 2); // it keeps asking while missing
        m_permission->granted = true;
        QTRY_VERIFY(page->isPermissionGranted());
        QVERIFY(!page->grantButton()->isVisible());
        QCOMPARE(changed.count(), 1);
        // A granted answer ends the polling.
        QVERIFY(!page->isPolling());
        const int checks = m_permission->checks;
        QTest::qWait(100);
        QCOMPARE(m_permission->checks, checks);
    }

    void pollingPausesWhileThePageIsHidden()
    {
        OnboardingView* view = open();
        ScreenRecordingPermissionPage* page = view->permissionPage();
        QCOMPARE(m_permission->checks, 0); // not asked before the page is seen
        view->setCurrentPage(1);
        QCOMPARE(m_permission->checks, 1); // asked at once on showing
        QVERIFY(page->isPolling());
        view->setCurrentPage(2);
        QVERIFY(!page->isPolling());
        // Granted while away: the page knows as soon as it is back.
        m_permission->granted = true;
        view->setCurrentPage(1);
        QVERIFY(page->isPermissionGranted());
        QVERIFY(!page->isPolling());
    }

    void pagesNameTheKeySequenceInForce()
    {
        OnboardingOptions options;
        options.keySequenceText = u"Ctrl+Alt+Q"_s;
        open(2, options);
        QStringList named;
        for (const QLabel* label : window()->findChildren<QLabel*>()) {
            if (label->text().contains(options.keySequenceText)) {
                named << label->text();
            }
        }
        named.sort();
        QCOMPARE(named,
                 (QStringList{u"Press Ctrl+Alt+Q"_s, u"Press Ctrl+Alt+Q to capture any area"_s}));
    }

    void legalLinksOpenByKeyboard()
    {
        OnboardingOptions options;
        options.websiteUrl = QUrl(u"https://example.test/quillsnap/"_s);
        options.privacyPolicyUrl = QUrl(u"https://legal.example.test/p?app=q&v=1"_s);
        QList<QUrl> opened;
        options.openUrl = [&opened](const QUrl& url) { opened << url; };
        OnboardingView* view = open(2, options);
        // Into the line, to its first link, open; to the next link, open.
        for (const Qt::Key key :
             {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return, Qt::Key_Tab, Qt::Key_Return}) {
            QTest::keyClick(QApplication::focusWidget(), key);
        }
        QCOMPARE(opened, (QList<QUrl>{QUrl(u"https://example.test/quillsnap/terms"_s),
                                      options.privacyPolicyUrl}));
        QCOMPARE(view->currentPage(), 0);
    }
};

QTEST_MAIN(TestOnboarding)
#include "tst_onboarding.moc"
