#include "app/AppMenu.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// The items joined by "|": "---" for a separator, "[x] " / "[ ] " for
// checkable items, "> " before a submenu's title, "(off) " for a disabled item.
QString describe(const QMenu* menu)
{
    QStringList lines;
    for (QAction* a : menu->actions()) {
        const QString check = a->isChecked() ? u"[x] "_s : u"[ ] "_s;
        lines << (a->isSeparator() ? u"---"_s
                                   : (a->isEnabled() ? QString() : u"(off) "_s) +
                                         (a->menu()          ? u"> "_s
                                          : a->isCheckable() ? check
                                                             : QString()) +
                                         a->text());
    }
    return lines.join(u'|');
}

QMenu* submenu(const QMenu* menu, const QString& title)
{
    for (QAction* a : menu->actions()) {
        if (a->menu() && a->text() == title) {
            return a->menu();
        }
    }
    return nullptr;
}

AppMenuState state(const QString& provider = u"openai"_s)
{
    AppMenuState s;
    s.keySequenceText = u"Shift+Super+8"_s;
    s.provider = provider;
    s.openaiModel = u"gpt-4o"_s;
    s.geminiModel = u"gemini-2.5-flash"_s;
    return s;
}
} // namespace

class TestAppMenu : public QObject
{
    Q_OBJECT
private slots:
    void topLevel()
    {
        AppMenu menu;
        AppMenuState s = state();
        s.additiveClipboard = true;
        QCOMPARE(describe(menu.rebuild(s)),
                 u"Capture Screenshot (Shift+Super+8)|Scan QR/Barcode|[x] Additive Clipboard|---|"
                 u"History...|---|[ ] AI-Enhanced OCR|> AI Provider|Configure API Keys...|---|"
                 u"(off) Settings...|---|(off) Check for Updates...|---|Quit"_s);
        QVERIFY(menu.captureAction()->shortcut().isEmpty());
        // While no key sequence is in force, the title promises none.
        QCOMPARE(AppMenu::captureTitle(QString()), u"Capture Screenshot"_s);
    }

    void providerSubmenu_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("expected");
        QTest::newRow("openai")
            << u"openai"_s << u"[x] OpenAI|---|> OpenAI Model|[ ] Google Gemini|[ ] OCR.space"_s;
        QTest::newRow("gemini")
            << u"gemini"_s << u"[ ] OpenAI|[x] Google Gemini|---|> Gemini Model|[ ] OCR.space"_s;
        QTest::newRow("ocrspace") << u"ocrspace"_s
                                  << u"[ ] OpenAI|[ ] Google Gemini|[x] OCR.space"_s;
        QTest::newRow("unknown") << u"claude"_s << u"[ ] OpenAI|[ ] Google Gemini|[ ] OCR.space"_s;
    }

    void providerSubmenu()
    {
        QFETCH(QString, provider);
        AppMenu menu;
        QMenu* providers = submenu(menu.rebuild(state(provider)), u"AI Provider"_s);
        QVERIFY(providers);
        QTEST(describe(providers), "expected");
    }

    // A rebuilt menu replaces the old one, which goes away with the next turn
    // of the event loop: its actions no longer reach the delegate twice.
    void rebuiltMenuReplacesTheOld()
    {
        AppMenu menu;
        QSignalSpy capture(&menu, &AppMenu::captureRequested);
        QPointer<QMenu> first = menu.rebuild(state(u"gemini"_s));
        first->actions().constFirst()->trigger();
        QVERIFY(menu.rebuild(state()) != first);
        QTRY_VERIFY(first.isNull());
        menu.captureAction()->trigger();
        QCOMPARE(capture.count(), 2);
    }
};

QTEST_MAIN(TestAppMenu)
#include "tst_appmenu.moc"
