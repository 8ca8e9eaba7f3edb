#include "CaseTable.h"
#include "feedback/DisplayCapabilities.h"
#include "feedback/HUDManager.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <functional>
#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
struct FakeDisplay : DisplayCapabilities
{
    bool blends = true;
    bool blendsTranslucentWindows() const override { return blends; }
};

// Toast windows alive, or only those on screen.
qsizetype toastCount(bool visibleOnly)
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return std::count_if(all.begin(), all.end(), [=](QWidget* w) {
        return qobject_cast<ToastView*>(w) && (!visibleOnly || w->isVisible());
    });
}

void runInThread(const std::function<void()>& work)
{
    std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    QVERIFY(thread->wait(5000));
}
} // namespace

class TestHUDManager : public QObject
{
    Q_OBJECT
private slots:
    void stateMachine_data()
    {
        // Steps: C shows a confirmation for 30 s, c one for 50 ms, n one for
        // a nonsense duration, L the loading toast, H hides it; "." waits for
        // the expected state, "~" waits two fades and expects it to hold.
        // States: idle, confirmation, loading, fading out.
        // steps, states
        // Confirmation replaces confirmation; a replaced toast's hide is
        // cancelled; the replacement is timed afresh; a nonsense duration hides
        // at once; loading stays until hidden, then fades; a hide with nothing
        // shown, or with a confirmation up, does nothing; loading cancels the
        // confirmation's hide; a confirmation replaces loading; a toast shown
        // during a fade stays.
        rows({u"CC→cc", u"cC~→ccc", u"Cc..→ccfi", u"n.→ci", u"L~H.→llfi", u"H~→ii", u"CH~→ccc",
              u"cL~→cll", u"LC→lc", u"c.C~→cfcc", u"c.L~→cfll"});
    }

    void stateMachine()
    {
        const QStringList f = fields();
        const QString &steps = f[0], &states = f[1];
        HUDManager hud;
        const QHash<QChar, std::function<void()>> act{
            {u'C', [&] { hud.show(30); }},
            {u'c', [&] { hud.show(0.05); }},
            {u'n', [&] { hud.show(std::numeric_limits<double>::quiet_NaN()); }},
            {u'L', [&] { hud.showLoading(); }},
            {u'H', [&] { hud.hideLoading(); }},
            {u'~', [] { QTest::qWait(600); }},
            {u'.', [] {}}};
        for (qsizetype i = 0; i < steps.size(); ++i) {
            act.value(steps.at(i))();
            QCoreApplication::sendPostedEvents(); // what the calls posted
            QTRY_COMPARE(QChar::fromLatin1("iclf"[int(hud.state())]), states.at(i));
            // One toast on screen at most: a replaced one goes at once.
            QCOMPARE(toastCount(true), hud.currentWindow() ? 1 : 0);
            QVERIFY(!hud.currentWindow() || hud.currentWindow()->isVisible());
        }
        // A hide is pending exactly while a confirmation is up; replaced
        // windows are deleted.
        QCOMPARE(hud.isHidePending(), states.endsWith(u'c'));
        QTRY_COMPARE(toastCount(false), hud.currentWindow() ? 1 : 0);
    }

    void callsFromOtherThreadsLandOnMainThread()
    {
        HUDManager hud;
        hud.setAnimationDuration(50);
        runInThread([&] { hud.showLoading(); });
        QTRY_COMPARE(hud.state(), HUDManager::State::loadingShown);
        QCOMPARE(hud.currentWindow()->thread(), qApp->thread());
        runInThread([&] { hud.hideLoading(); });
        QTRY_COMPARE(hud.state(), HUDManager::State::idle);
        // The hide timer too runs on the main thread.
        runInThread([&] { hud.show(0.5); });
        QTRY_COMPARE(hud.state(), HUDManager::State::confirmationShown);
        QTRY_COMPARE(hud.state(), HUDManager::State::idle);
    }

    void opaqueWhereNothingBlends()
    {
        // Without blending, transparent pixels show black: the window is
        // then clipped to the card, its corners left out.
        FakeDisplay display;
        HUDManager hud(&display);
        for (bool blends : {true, false}) {
            display.blends = blends;
            for (bool loading : {false, true}) {
                loading ? hud.showLoading() : hud.show(30);
                QCoreApplication::sendPostedEvents();
                QCOMPARE(hud.currentWindow()->mask().isEmpty(), blends);
                QVERIFY(!hud.currentWindow()->mask().contains(QPoint(0, 0)));
            }
        }
    }

    void neverTakesFocusOrClicks()
    {
        const QString xdotool = QStandardPaths::findExecutable(u"xdotool"_s);
        const QString openbox = QStandardPaths::findExecutable(u"openbox"_s);
        if (QGuiApplication::platformName() != "xcb"_L1 || xdotool.isEmpty() || openbox.isEmpty()) {
            QSKIP("needs an X server, xdotool and openbox");
        }
        // A window manager gives the focus to windows as they appear, unless
        // they decline it. It runs the start-up command once it manages them.
        QProcess manager;
        manager.start(openbox, {u"--sm-disable"_s, u"--startup"_s, u"echo started"_s});
        auto stop = qScopeGuard([&] {
            manager.terminate();
            manager.waitForFinished();
        });
        QByteArray output;
        QTRY_VERIFY((output += manager.readAllStandardOutput()).contains("started"));
        const auto xdo = [&xdotool](const QString& command) {
            return QProcess::execute(xdotool, command.split(u' '));
        };

        // A window under the toast, focused by a click at the end of its text.
        QLineEdit under(u"before"_s);
        under.setGeometry(QGuiApplication::primaryScreen()->geometry());
        under.show();
        QVERIFY(QTest::qWaitForWindowExposed(&under));
        under.setCursorPosition(0);
        QCOMPARE(xdo(u"mousemove %1 20 click 1"_s.arg(under.width() - 20)), 0);
        QTRY_VERIFY(under.isActiveWindow() && under.cursorPosition() == 6);
        under.setCursorPosition(0);

        HUDManager hud;
        hud.show(30);
        QVERIFY(QTest::qWaitForWindowExposed(hud.currentWindow()));
        const QPoint centre = hud.currentWindow()->geometry().center();
        QCOMPARE(centre, QGuiApplication::primaryScreen()->availableGeometry().center());
        QTest::qWait(300);
        // Typing still reaches the window below; a click in the middle of the
        // toast lands on it too, moving its cursor to the end of the text.
        QCOMPARE(xdo(u"type a"_s), 0);
        QCOMPARE(xdo(u"mousemove %1 %2 click 1 type z"_s.arg(centre.x()).arg(centre.y())), 0);
        QTRY_COMPARE(under.text(), u"abeforez"_s);
    }
};

QTEST_MAIN(TestHUDManager)
#include "tst_hudmanager.moc"
