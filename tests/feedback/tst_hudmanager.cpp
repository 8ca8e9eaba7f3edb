#include "feedback/HUDManager.h"
#include "feedback/HUDView.h"
#include "feedback/LoadingHUDView.h"
#include "platform/X11DisplayCapabilities.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <xcb/xcb.h>

#include <memory>

namespace {
bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool runTool(const QString& tool, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(tool);
    return !path.isEmpty() && QProcess::execute(path, arguments) == 0;
}

// Claims the compositing-manager selection of screen 0 the way a compositor
// does, so that the toasts believe they are blended.
class FakeCompositor
{
public:
    FakeCompositor()
    {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        m_connection = x11->connection();
        m_owner.winId();
        const QByteArray name = QByteArrayLiteral("_NET_WM_CM_S0");
        auto* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.data()),
            nullptr);
        m_atom = reply->atom;
        free(reply);
        setOwner(xcb_window_t(m_owner.winId()));
    }
    ~FakeCompositor() { setOwner(XCB_NONE); }

private:
    void setOwner(xcb_window_t window)
    {
        xcb_set_selection_owner(m_connection, window, m_atom, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
    }
    xcb_connection_t* m_connection = nullptr;
    xcb_atom_t m_atom = XCB_NONE;
    QWidget m_owner;
};
} // namespace

// Counts the mouse presses a widget receives.
class PressCounter : public QObject
{
public:
    int presses = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress) {
            ++presses;
        }
        return QObject::eventFilter(watched, event);
    }
};

class TestHUDManager : public QObject
{
    Q_OBJECT
private slots:
    void sharedInstanceLivesOnMainThread();
    void secondConfirmationReplacesFirst();
    void loadingToastStaysUntilHidden();
    void hideLoadingFadesOutAndLeavesNoWindow();
    void hideLoadingWithNothingDoesNothing();
    void toastShownDuringFadeOutStays_data();
    void toastShownDuringFadeOutStays();
    void confirmationReplacesLoading();
    void oddDurations_data();
    void oddDurations();
    void placement_data();
    void placement();
    void centredAboveDock();
    void windowNeverTakesFocusOrClicks();
    void translucentOnlyWithCompositor();

private:
    std::unique_ptr<HUDManager> makeManager(int fadeMs = 60)
    {
        static const X11DisplayCapabilities display;
        auto manager = std::make_unique<HUDManager>();
        manager->setAnimationDuration(fadeMs);
        manager->setDisplayCapabilities(&display);
        return manager;
    }
};

void TestHUDManager::sharedInstanceLivesOnMainThread()
{
    // The first touch comes from a worker, as recognition routing does it.
    QThread* worker = QThread::create([] { HUDManager::shared().showLoading(); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    HUDManager& manager = HUDManager::shared();
    QCOMPARE(manager.thread(), qApp->thread());
    QTRY_COMPARE(manager.state(), HUDManager::State::loadingShown);
    QCOMPARE(manager.currentWindow()->thread(), qApp->thread());

    QThread* hider = QThread::create([] { HUDManager::shared().hideLoading(); });
    hider->start();
    QVERIFY(hider->wait(5000));
    delete hider;
    QTRY_COMPARE(manager.state(), HUDManager::State::idle);

    // Its hide timer moved along with it and fires on the main thread.
    manager.setAnimationDuration(50);
    manager.show(0.1);
    QVERIFY(manager.isHidePending());
    QTRY_COMPARE(manager.state(), HUDManager::State::idle);
}

void TestHUDManager::secondConfirmationReplacesFirst()
{
    auto manager = makeManager();
    manager->show(1.0);
    QPointer<QWidget> first = manager->currentWindow();
    QVERIFY(first && first->isVisible());
    QCOMPARE(manager->state(), HUDManager::State::confirmationShown);
    QVERIFY(manager->isHidePending());

    QTest::qWait(400);
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    manager->show(1.0);
    QPointer<QWidget> second = manager->currentWindow();
    QVERIFY(second && second != first);
    // Closed at once, without a fade.
    QVERIFY(!first || !first->isVisible());
    QTRY_VERIFY(first.isNull());
    // One hide pending, timed from the second show: the first one's would
    // fire 400 ms earlier.
    QVERIFY(manager->isHidePending());
    QVERIFY2(manager->remainingHideTime() > 800,
             qPrintable(QString::number(manager->remainingHideTime())));

    QTest::qWait(450);
    QCOMPARE(manager->currentWindow(), second.data());
    QCOMPARE(manager->state(), HUDManager::State::confirmationShown);
    QTRY_COMPARE_WITH_TIMEOUT(manager->state(), HUDManager::State::idle, 3000);
    QVERIFY(sinceSecond.elapsed() >= 1000);
    QTRY_VERIFY(second.isNull());
}

void TestHUDManager::loadingToastStaysUntilHidden()
{
    auto manager = makeManager();
    manager->showLoading();
    // Posted: nothing happens before the main loop runs it.
    QCOMPARE(manager->state(), HUDManager::State::idle);
    QTRY_COMPARE(manager->state(), HUDManager::State::loadingShown);
    QVERIFY(!manager->isHidePending());
    auto* view = qobject_cast<LoadingHUDView*>(manager->currentWindow());
    QVERIFY(view);
    QTRY_COMPARE(view->windowOpacity(), 1.0);
    QVERIFY(view->isAnimating());

    // The sweep runs forward only; the pulse goes up and comes back down.
    qreal lastPhase = view->sparklePhase();
    bool rose = false;
    bool fell = false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2600) {
        QTest::qWait(50);
        const qreal phase = view->sparklePhase();
        rose = rose || phase > lastPhase + 0.01;
        fell = fell || (rose && phase < lastPhase - 0.01);
        lastPhase = phase;
        QVERIFY(view->animationProgress() >= 0.0 && view->animationProgress() <= 1.0);
    }
    QVERIFY(rose && fell);
    QCOMPARE(manager->state(), HUDManager::State::loadingShown);
    QVERIFY(view->isVisible());
}

void TestHUDManager::hideLoadingFadesOutAndLeavesNoWindow()
{
    auto manager = makeManager(300);
    manager->showLoading();
    QTRY_COMPARE(manager->state(), HUDManager::State::loadingShown);
    QPointer<QWidget> window = manager->currentWindow();
    QTRY_COMPARE(window->windowOpacity(), 1.0);

    QElapsedTimer fade;
    fade.start();
    manager->hideLoading();
    QTRY_COMPARE(manager->state(), HUDManager::State::fadingOut);
    QTRY_VERIFY(window && window->windowOpacity() < 0.9 && window->windowOpacity() > 0.1);
    QTRY_COMPARE(manager->state(), HUDManager::State::idle);
    QVERIFY2(fade.elapsed() >= 250, qPrintable(QString::number(fade.elapsed())));
    QCOMPARE(manager->currentWindow(), nullptr);
    QTRY_VERIFY(window.isNull());
}

void TestHUDManager::hideLoadingWithNothingDoesNothing()
{
    auto manager = makeManager();
    const auto before = QApplication::topLevelWidgets().size();
    manager->hideLoading();
    manager->hideLoading();
    QTest::qWait(200);
    QCOMPARE(manager->state(), HUDManager::State::idle);
    QCOMPARE(manager->currentWindow(), nullptr);
    QVERIFY(!manager->isHidePending());
    QCOMPARE(QApplication::topLevelWidgets().size(), before);
}

void TestHUDManager::toastShownDuringFadeOutStays_data()
{
    QTest::addColumn<bool>("loading");
    QTest::newRow("confirmation") << false;
    QTest::newRow("loading") << true;
}

void TestHUDManager::toastShownDuringFadeOutStays()
{
    QFETCH(bool, loading);
    auto manager = makeManager(400);
    manager->show(0.05);
    QTRY_COMPARE(manager->state(), HUDManager::State::fadingOut);
    QPointer<QWidget> faded = manager->currentWindow();

    if (loading) {
        manager->showLoading();
        QTRY_COMPARE(manager->state(), HUDManager::State::loadingShown);
    } else {
        manager->show(30);
    }
    QPointer<QWidget> replacement = manager->currentWindow();
    QVERIFY(replacement && replacement != faded);
    QTRY_VERIFY(faded.isNull());

    // Well past the end of the interrupted fade, the new toast is still the
    // manager's and still on screen.
    QTest::qWait(700);
    QCOMPARE(manager->currentWindow(), replacement.data());
    QVERIFY(replacement->isVisible());
    QCOMPARE(replacement->windowOpacity(), 1.0);
    QCOMPARE(manager->state(),
             loading ? HUDManager::State::loadingShown : HUDManager::State::confirmationShown);

    // And the next hide removes it.
    manager->hideLoading();
    QTRY_COMPARE(manager->state(), HUDManager::State::idle);
    QTRY_VERIFY(replacement.isNull());
}

void TestHUDManager::confirmationReplacesLoading()
{
    auto manager = makeManager();
    manager->showLoading();
    QTRY_COMPARE(manager->state(), HUDManager::State::loadingShown);
    QPointer<QWidget> loading = manager->currentWindow();
    manager->show(5);
    QVERIFY(qobject_cast<HUDView*>(manager->currentWindow()));
    QVERIFY(!loading || !loading->isVisible());
    QVERIFY(manager->isHidePending());
    // A loading toast shown now cancels the confirmation's hide.
    manager->showLoading();
    QTRY_COMPARE(manager->state(), HUDManager::State::loadingShown);
    QVERIFY(!manager->isHidePending());
}

void TestHUDManager::oddDurations_data()
{
    QTest::addColumn<double>("duration");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -3.0;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
}

void TestHUDManager::oddDurations()
{
    // Nonsense durations hide the toast at once instead of never.
    QFETCH(double, duration);
    auto manager = makeManager();
    manager->show(duration);
    QVERIFY(manager->currentWindow());
    QTRY_COMPARE_WITH_TIMEOUT(manager->state(), HUDManager::State::idle, 2000);
}

void TestHUDManager::placement_data()
{
    QTest::addColumn<bool>("loading");
    QTest::addColumn<int>("height");
    QTest::newRow("confirmation") << false << 240;
    QTest::newRow("loading") << true << 120;
}

void TestHUDManager::placement()
{
    QFETCH(bool, loading);
    QFETCH(int, height);
    auto manager = makeManager();
    if (loading) {
        manager->showLoading();
        QTRY_VERIFY(manager->currentWindow());
    } else {
        manager->show(5);
        // The card itself fits in the minimum height with room to spare.
        auto* view = qobject_cast<HUDView*>(manager->currentWindow());
        QVERIFY(view->fittingSize().height() + 40 <= 240);
        QVERIFY(view->fittingSize().width() <= 360);
    }
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = manager->currentWindow()->geometry();
    QCOMPARE(frame.size(), QSize(360, height));
    QCOMPARE(frame.x(), area.x() + area.width() / 2 - 180);
    QCOMPARE(frame.y(), area.y() + area.height() / 2 - height / 2);
}

void TestHUDManager::centredAboveDock()
{
    if (!onX11() || QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty()) {
        QSKIP("needs an X server and xprop");
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect full = screen->geometry();
    // What a window manager publishes when a 48-pixel dock sits at the bottom.
    const QString workArea = QStringLiteral("%1, %2, %3, %4")
                                 .arg(full.x())
                                 .arg(full.y())
                                 .arg(full.width())
                                 .arg(full.height() - 48);
    QVERIFY(runTool(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("-format"),
                     QStringLiteral("_NET_WORKAREA"), QStringLiteral("32c"), QStringLiteral("-set"),
                     QStringLiteral("_NET_WORKAREA"), workArea}));
    auto restore = qScopeGuard([] {
        runTool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-remove"),
                                          QStringLiteral("_NET_WORKAREA")});
    });
    QTRY_COMPARE(screen->availableGeometry().height(), full.height() - 48);

    auto manager = makeManager();
    manager->show(5);
    const QRect frame = manager->currentWindow()->geometry();
    QCOMPARE(frame.center().y(), full.y() + (full.height() - 48) / 2 - 1);
    QCOMPARE(frame.x(), full.x() + full.width() / 2 - 180);
}

void TestHUDManager::windowNeverTakesFocusOrClicks()
{
    auto manager = makeManager();

    // A window of another kind under the toast, holding the keyboard focus.
    QWidget under;
    under.setGeometry(QGuiApplication::primaryScreen()->geometry());
    QLineEdit edit(&under);
    edit.setGeometry(under.rect());
    under.show();
    under.activateWindow();
    edit.setFocus();
    if (onX11()) {
        QVERIFY(QTest::qWaitForWindowActive(&under));
    }

    manager->show(10);
    QWidget* toast = manager->currentWindow();
    QVERIFY(QTest::qWaitForWindowExposed(toast));
    const Qt::WindowFlags flags = toast->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTransparentForInput));
    QVERIFY(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(toast->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(toast->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(toast->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
    QVERIFY(!toast->isActiveWindow());

    if (!onX11() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        QSKIP("clicking through needs an X server and xdotool");
    }
    // A real click in the middle of the toast reaches the line edit below.
    const QPoint centre = toast->geometry().center();
    PressCounter counter;
    edit.installEventFilter(&counter);
    edit.clear();
    QVERIFY(runTool(QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), QString::number(centre.x()),
                     QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")}));
    QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("typed")}));
    QTRY_COMPARE(counter.presses, 1);
    QTRY_COMPARE(edit.text(), QStringLiteral("typed"));
    QVERIFY(!toast->isActiveWindow());
    QCOMPARE(QApplication::activeWindow(), &under);
    QCOMPARE(QApplication::focusWidget(), &edit);
}

void TestHUDManager::translucentOnlyWithCompositor()
{
    if (!onX11()) {
        QSKIP("compositing is an X11 question");
    }
    auto manager = makeManager();
    {
        // Xvfb has no compositor: the card is opaque and the window shaped.
        manager->show(5);
        auto* view = qobject_cast<HUDView*>(manager->currentWindow());
        QVERIFY(view->opaqueFallback());
        QVERIFY(!view->mask().isEmpty());
        QVERIFY(view->mask().boundingRect().width() < view->width());
    }
    FakeCompositor compositor;
    manager->show(5);
    auto* view = qobject_cast<HUDView*>(manager->currentWindow());
    QVERIFY(!view->opaqueFallback());
    QVERIFY(view->mask().isEmpty());

    // Painted translucent: the corners are clear, the card is mostly opaque
    // and the shadow falls below it.
    const QImage image = view->grab().toImage();
    const QRect card = view->cardRect().toRect();
    QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
    const int cardAlpha = qAlpha(image.pixel(card.center().x(), card.bottom() - 4));
    QVERIFY2(cardAlpha > 200 && cardAlpha < 255, qPrintable(QString::number(cardAlpha)));
    QVERIFY(qAlpha(image.pixel(card.center().x(), card.bottom() + 12)) > 0);
    QVERIFY(qAlpha(image.pixel(card.center().x(), card.top() - 12)) <
            qAlpha(image.pixel(card.center().x(), card.bottom() + 12)));
}

QTEST_MAIN(TestHUDManager)
#include "tst_hudmanager.moc"
