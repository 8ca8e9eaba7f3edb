#include "feedback/DisplayCapabilities.h"
#include "feedback/HUDManager.h"
#include "feedback/ToastView.h"

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

namespace {
struct FakeDisplay : DisplayCapabilities
{
    bool blends = true;
    bool blendsTranslucentWindows() const override { return blends; }
};

// One letter a state, as the tables below write them.
char letter(HUDManager::State state)
{
    return "iclf"[int(state)];
}

QList<ToastView*> toasts(bool visibleOnly)
{
    QList<ToastView*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* toast = qobject_cast<ToastView*>(widget);
            toast && (!visibleOnly || toast->isVisible())) {
            found.append(toast);
        }
    }
    return found;
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
    void stateMachine_data();
    void stateMachine();
    void callsFromOtherThreadsLandOnMainThread();
    void opaqueWhereNothingBlends_data();
    void opaqueWhereNothingBlends();
    void neverTakesFocusOrClicks();
};

void TestHUDManager::stateMachine_data()
{
    // Steps: C shows a confirmation for 30 s, c one for 50 ms, n one for a
    // nonsense duration, L the loading toast, H hides the loading toast;
    // "." waits until the expected state comes, "~" waits two fades and
    // expects the state to hold. States: idle, confirmation, loading, fading.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("states");
    QTest::newRow("confirmation replaces confirmation") << "CC"
                                                        << "cc";
    QTest::newRow("replaced toast's hide is cancelled") << "cC~"
                                                        << "ccc";
    QTest::newRow("replacement is timed afresh") << "Cc.."
                                                 << "ccfi";
    QTest::newRow("nonsense duration hides at once") << "n."
                                                     << "ci";
    QTest::newRow("loading stays until hidden, fades") << "L~H."
                                                       << "llfi";
    QTest::newRow("hide with nothing on screen") << "H~"
                                                 << "ii";
    QTest::newRow("hide leaves a confirmation alone") << "CH~"
                                                      << "ccc";
    QTest::newRow("loading cancels the confirmation's hide") << "cL~"
                                                             << "cll";
    QTest::newRow("confirmation replaces loading") << "LC"
                                                   << "lc";
    QTest::newRow("confirmation shown during a fade stays") << "c.C~"
                                                            << "cfcc";
    QTest::newRow("loading shown during a fade stays") << "c.L~"
                                                       << "cfll";
}

void TestHUDManager::stateMachine()
{
    QFETCH(QString, steps);
    QFETCH(QString, states);
    HUDManager manager;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QPointer<ToastView> before = manager.currentWindow();
        switch (steps.at(i).toLatin1()) {
        case 'C':
            manager.show(30);
            break;
        case 'c':
            manager.show(0.05);
            break;
        case 'n':
            manager.show(std::numeric_limits<double>::quiet_NaN());
            break;
        case 'L':
            manager.showLoading();
            break;
        case 'H':
            manager.hideLoading();
            break;
        case '~':
            QTest::qWait(600);
            break;
        }
        QCoreApplication::sendPostedEvents(); // what the calls posted
        QTRY_COMPARE(letter(manager.state()), states.at(i).toLatin1());
        // One toast on screen at most, and a replaced one goes at once.
        const QList<ToastView*> shown = toasts(true);
        QCOMPARE(shown.size(), manager.currentWindow() ? 1 : 0);
        QVERIFY(!manager.currentWindow() || shown.first() == manager.currentWindow());
        QVERIFY(!before || before == manager.currentWindow() || !before->isVisible());
    }
    // A hide is pending exactly while a confirmation is up; replaced
    // windows are gone.
    QCOMPARE(manager.isHidePending(), states.endsWith(QLatin1Char('c')));
    QTRY_COMPARE(toasts(false).size(), manager.currentWindow() ? 1 : 0);
}

void TestHUDManager::callsFromOtherThreadsLandOnMainThread()
{
    HUDManager manager;
    manager.setAnimationDuration(50);
    runInThread([&] { manager.showLoading(); });
    QTRY_COMPARE(manager.state(), HUDManager::State::loadingShown);
    QCOMPARE(manager.currentWindow()->thread(), qApp->thread());
    runInThread([&] { manager.hideLoading(); });
    QTRY_COMPARE(manager.state(), HUDManager::State::idle);
    // The hide timer too runs on the main thread.
    runInThread([&] { manager.show(0.5); });
    QTRY_COMPARE(manager.state(), HUDManager::State::confirmationShown);
    QTRY_COMPARE(manager.state(), HUDManager::State::idle);
}

void TestHUDManager::opaqueWhereNothingBlends_data()
{
    QTest::addColumn<bool>("blends");
    QTest::newRow("compositor") << true;
    QTest::newRow("no compositor") << false;
}

void TestHUDManager::opaqueWhereNothingBlends()
{
    // Without blending, transparent pixels show black: the window is clipped
    // to the card, its corners left out.
    QFETCH(bool, blends);
    FakeDisplay display;
    display.blends = blends;
    HUDManager manager(&display);
    for (bool loading : {false, true}) {
        loading ? manager.showLoading() : manager.show(30);
        QCoreApplication::sendPostedEvents();
        const ToastView* toast = manager.currentWindow();
        QCOMPARE(toast->opaqueFallback(), !blends);
        QCOMPARE(toast->mask().isEmpty(), blends);
        QCOMPARE(toast->mask().contains(QPoint(0, 0)), false);
    }
}

void TestHUDManager::neverTakesFocusOrClicks()
{
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (QGuiApplication::platformName() != QLatin1String("xcb") || xdotool.isEmpty() ||
        openbox.isEmpty()) {
        QSKIP("needs an X server, xdotool and openbox");
    }
    // A window manager gives the focus to windows as they appear, unless
    // they decline it.
    QProcess manager;
    // It runs the start-up command once it manages windows.
    manager.start(openbox, {QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
                            QStringLiteral("echo started")});
    auto stop = qScopeGuard([&] {
        manager.terminate();
        manager.waitForFinished();
    });
    QByteArray output;
    QTRY_VERIFY((output += manager.readAllStandardOutput()).contains("started"));

    // A window under the toast, holding the keyboard focus since the user
    // clicked it.
    QLineEdit under(QStringLiteral("before"));
    under.setGeometry(QGuiApplication::primaryScreen()->geometry());
    under.show();
    QVERIFY(QTest::qWaitForWindowExposed(&under));
    const auto xdo = [&xdotool](const QString& command) {
        return QProcess::execute(xdotool, command.split(QLatin1Char(' ')));
    };
    under.setCursorPosition(0);
    QCOMPARE(xdo(QStringLiteral("mousemove %1 20 click 1").arg(under.width() - 20)), 0);
    QTRY_VERIFY(under.isActiveWindow() && under.cursorPosition() == 6);
    under.setCursorPosition(0);

    HUDManager hud;
    hud.show(30);
    ToastView* toast = hud.currentWindow();
    QVERIFY(QTest::qWaitForWindowExposed(toast));
    QCOMPARE(toast->geometry().center(),
             QGuiApplication::primaryScreen()->availableGeometry().center());
    QTest::qWait(300);

    // Typing still reaches the window below; a click in the middle of the
    // toast lands on it too, moving its cursor to the end of the text.
    const QPoint centre = toast->geometry().center();
    QCOMPARE(xdo(QStringLiteral("type a")), 0);
    QCOMPARE(xdo(QStringLiteral("mousemove %1 %2 click 1 type z").arg(centre.x()).arg(centre.y())),
             0);
    QTRY_COMPARE(under.text(), QStringLiteral("abeforez"));
}

QTEST_MAIN(TestHUDManager)
#include "tst_hudmanager.moc"
