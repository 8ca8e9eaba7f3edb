#include "app/AppMenu.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace {
// One line per item: "---" for a separator, "[x] " / "[ ] " for checkable
// items, "> " before a submenu's title, "(off) " for a disabled item.
QStringList describe(const QMenu* menu)
{
    QStringList lines;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            lines << QStringLiteral("---");
            continue;
        }
        QString line;
        if (!a->isEnabled()) {
            line += QStringLiteral("(off) ");
        }
        if (a->menu()) {
            line += QStringLiteral("> ");
        } else if (a->isCheckable()) {
            line += a->isChecked() ? QStringLiteral("[x] ") : QStringLiteral("[ ] ");
        }
        lines << line + a->text();
    }
    return lines;
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

AppMenuState defaultState()
{
    AppMenuState s;
    s.keySequenceText = QStringLiteral("Shift+Super+8");
    s.provider = QStringLiteral("openai");
    s.openaiModel = QStringLiteral("gpt-4o");
    s.geminiModel = QStringLiteral("gemini-2.5-flash");
    return s;
}
} // namespace

class TestAppMenu : public QObject
{
    Q_OBJECT
private slots:
    void topLevel();
    void providerSubmenu_data();
    void providerSubmenu();
    void titleWithoutKeySequence();
    void choicesComeOutAsSignals();
    void rebuildReplacesTheMenu();
};

void TestAppMenu::topLevel()
{
    AppMenu menu;
    AppMenuState state = defaultState();
    state.additiveClipboard = true;
    const QStringList expected{
        QStringLiteral("Capture Screenshot (Shift+Super+8)"),
        QStringLiteral("Scan QR/Barcode"),
        QStringLiteral("[x] Additive Clipboard"),
        QStringLiteral("---"),
        QStringLiteral("History..."),
        QStringLiteral("---"),
        QStringLiteral("[ ] AI-Enhanced OCR"),
        QStringLiteral("> AI Provider"),
        QStringLiteral("Configure API Keys..."),
        QStringLiteral("---"),
        QStringLiteral("(off) Settings..."),
        QStringLiteral("---"),
        QStringLiteral("(off) Check for Updates..."),
        QStringLiteral("---"),
        QStringLiteral("Quit"),
    };
    QCOMPARE(describe(menu.rebuild(state)), expected);
    QCOMPARE(menu.captureAction()->text(), QStringLiteral("Capture Screenshot (Shift+Super+8)"));
    QVERIFY(menu.captureAction()->shortcut().isEmpty());
}

void TestAppMenu::providerSubmenu_data()
{
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("openai") << QStringLiteral("openai")
                            << QStringList{QStringLiteral("[x] OpenAI"), QStringLiteral("---"),
                                           QStringLiteral("> OpenAI Model"),
                                           QStringLiteral("[ ] Google Gemini"),
                                           QStringLiteral("[ ] OCR.space")};
    QTest::newRow("gemini") << QStringLiteral("gemini")
                            << QStringList{QStringLiteral("[ ] OpenAI"),
                                           QStringLiteral("[x] Google Gemini"),
                                           QStringLiteral("---"), QStringLiteral("> Gemini Model"),
                                           QStringLiteral("[ ] OCR.space")};
    QTest::newRow("ocrspace") << QStringLiteral("ocrspace")
                              << QStringList{QStringLiteral("[ ] OpenAI"),
                                             QStringLiteral("[ ] Google Gemini"),
                                             QStringLiteral("[x] OCR.space")};
    QTest::newRow("unknown") << QStringLiteral("claude")
                             << QStringList{QStringLiteral("[ ] OpenAI"),
                                            QStringLiteral("[ ] Google Gemini"),
                                            QStringLiteral("[ ] OCR.space")};
}

void TestAppMenu::providerSubmenu()
{
    QFETCH(QString, provider);
    QFETCH(QStringList, expected);
    AppMenu menu;
    AppMenuState state = defaultState();
    state.provider = provider;
    QMenu* providers = submenu(menu.rebuild(state), QStringLiteral("AI Provider"));
    QVERIFY(providers);
    QCOMPARE(describe(providers), expected);
}

void TestAppMenu::choicesComeOutAsSignals()
{
    AppMenu menu;
    AppMenuState state = defaultState();
    state.provider = QStringLiteral("gemini");
    QMenu* root = menu.rebuild(state);
    QSignalSpy provider(&menu, &AppMenu::providerSelected);
    QSignalSpy model(&menu, &AppMenu::geminiModelSelected);
    QSignalSpy capture(&menu, &AppMenu::captureRequested);
    QSignalSpy quit(&menu, &AppMenu::quitRequested);

    QMenu* providers = submenu(root, QStringLiteral("AI Provider"));
    providers->actions().constLast()->trigger();
    QCOMPARE(provider.count(), 1);
    QCOMPARE(provider.at(0).at(0).toString(), QStringLiteral("ocrspace"));
    submenu(providers, QStringLiteral("Gemini Model"))->actions().constLast()->trigger();
    QCOMPARE(model.at(0).at(0).toString(), QStringLiteral("gemini-2.0-flash-exp"));
    root->actions().constFirst()->trigger();
    QCOMPARE(capture.count(), 1);
    root->actions().constLast()->trigger();
    QCOMPARE(quit.count(), 1);
}

void TestAppMenu::titleWithoutKeySequence()
{
    // While no key sequence is in force, the title promises none.
    QCOMPARE(AppMenu::captureTitle(QString()), QStringLiteral("Capture Screenshot"));
}

void TestAppMenu::rebuildReplacesTheMenu()
{
    AppMenu menu;
    QPointer<QMenu> first = menu.rebuild(defaultState());
    QSignalSpy capture(&menu, &AppMenu::captureRequested);
    QPointer<QMenu> second = menu.rebuild(defaultState());
    QVERIFY(first != second);
    // The old menu goes away with the next turn of the event loop and its
    // actions no longer reach the delegate twice.
    QTRY_VERIFY(first.isNull());
    second->actions().constFirst()->trigger();
    QCOMPARE(capture.count(), 1);
}

QTEST_MAIN(TestAppMenu)
#include "tst_appmenu.moc"
