#include "platform/X11DisplayCapabilities.h"

#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

class TestX11DisplayCapabilities : public QObject
{
    Q_OBJECT
private slots:
    void blendsWhileACompositorOwnsTheSelection()
    {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11) {
            QSKIP("needs an X server");
        }
        // Claims the selection the compositor of screen 0 holds, then lets
        // it go.
        xcb_connection_t* connection = x11->connection();
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, 13, "_NET_WM_CM_S0"), nullptr);
        QVERIFY(atom);
        QWindow owner;
        const X11DisplayCapabilities display;
        for (const xcb_window_t window : {xcb_window_t(owner.winId()), xcb_window_t(XCB_NONE)}) {
            xcb_set_selection_owner(connection, window, atom->atom, XCB_CURRENT_TIME);
            xcb_flush(connection);
            QCOMPARE(display.blendsTranslucentWindows(), window != XCB_NONE);
        }
        std::free(atom);
    }
};

QTEST_MAIN(TestX11DisplayCapabilities)
#include "tst_x11displaycapabilities.moc"
