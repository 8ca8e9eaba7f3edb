#include "MemoryClipboard.h"
#include "feedback/ClipboardManager.h"
#include "feedback/QtClipboard.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class TestClipboardManager : public QObject
{
    Q_OBJECT
private slots:
    void copy_data();
    void copy();
    void emptyInputLeavesClipboard_data();
    void emptyInputLeavesClipboard();
    void refusedWriteIsCopyFailed();
    void realClipboardIsReadableByOtherClients();
};

void TestClipboardManager::copy_data()
{
    QTest::addColumn<std::optional<QString>>("before");
    QTest::addColumn<bool>("holdsImage");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("additive");
    QTest::addColumn<QString>("after");

    const std::optional<QString> none;
    QTest::newRow("replace trims")
        << std::optional<QString>(QStringLiteral("old")) << false << QStringLiteral("  hello \n")
        << false << QStringLiteral("hello");
    QTest::newRow("replace keeps inner space")
        << none << false << QStringLiteral("\ta  b\n\nc\u2029") << false
        << QStringLiteral("a  b\n\nc");
    QTest::newRow("additive appends")
        << std::optional<QString>(QStringLiteral("first")) << false << QStringLiteral("second")
        << true << QStringLiteral("first\n\nsecond");
    QTest::newRow("additive on empty clipboard")
        << none << false << QStringLiteral(" second ") << true << QStringLiteral("second");
    QTest::newRow("additive on empty string")
        << std::optional<QString>(QString()) << false << QStringLiteral("second") << true
        << QStringLiteral("second");
    QTest::newRow("additive over an image drops it")
        << none << true << QStringLiteral("second") << true << QStringLiteral("second");
    QTest::newRow("additive keeps existing trailing space")
        << std::optional<QString>(QStringLiteral("first ")) << false << QStringLiteral("second")
        << true << QStringLiteral("first \n\nsecond");
    QTest::newRow("non-breaking space is trimmed")
        << none << false << QStringLiteral("\u00a0x\u3000") << false << QStringLiteral("x");
}

void TestClipboardManager::copy()
{
    QFETCH(std::optional<QString>, before);
    QFETCH(bool, holdsImage);
    QFETCH(QString, input);
    QFETCH(bool, additive);
    QFETCH(QString, after);

    MemoryClipboard clipboard;
    clipboard.current = before;
    clipboard.holdsImage = holdsImage;
    const auto result = ClipboardManager::copyToClipboard(clipboard, input, additive);
    QVERIFY(result.hasValue());
    QCOMPARE(clipboard.current, std::optional<QString>(after));
    QVERIFY(!clipboard.holdsImage);
}

void TestClipboardManager::emptyInputLeavesClipboard_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("additive");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("spaces and newlines") << QStringLiteral("  \n\t \r\n") << false;
    QTest::newRow("additive spaces") << QStringLiteral(" \n ") << true;
}

void TestClipboardManager::emptyInputLeavesClipboard()
{
    QFETCH(QString, input);
    QFETCH(bool, additive);
    MemoryClipboard clipboard;
    clipboard.current = QStringLiteral("keep me");
    const auto result = ClipboardManager::copyToClipboard(clipboard, input, additive);
    QVERIFY(!result.hasValue());
    QCOMPARE(result.error(), ClipboardError::emptyText);
    QCOMPARE(clipboard.current, std::optional<QString>(QStringLiteral("keep me")));
    QCOMPARE(clipboard.clears, 0);
}

void TestClipboardManager::refusedWriteIsCopyFailed()
{
    MemoryClipboard clipboard;
    clipboard.current = QStringLiteral("old");
    clipboard.refuseWrites = true;
    const auto result = ClipboardManager::copyToClipboard(clipboard, QStringLiteral("new"));
    QVERIFY(!result.hasValue());
    QCOMPARE(result.error(), ClipboardError::copyFailed);
    QVERIFY(!ClipboardManager::describe(result.error()).isEmpty());
}

void TestClipboardManager::realClipboardIsReadableByOtherClients()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QSKIP("needs an X server");
    }
    const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    if (xclip.isEmpty()) {
        QSKIP("xclip is not installed");
    }
    QtClipboard clipboard;
    const QString text = QStringLiteral("Grüße, мир ✓");
    QVERIFY(ClipboardManager::copyToClipboard(clipboard, text).hasValue());

    // Another client reads the selection while our event loop answers it.
    QProcess reader;
    reader.start(xclip,
                 {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    QTRY_COMPARE_WITH_TIMEOUT(reader.state(), QProcess::NotRunning, 5000);
    QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), text);

    QVERIFY(ClipboardManager::copyToClipboard(clipboard, QStringLiteral("more"), true).hasValue());
    QCOMPARE(clipboard.text(), std::optional<QString>(text + QStringLiteral("\n\nmore")));
}

QTEST_MAIN(TestClipboardManager)
#include "tst_clipboardmanager.moc"
