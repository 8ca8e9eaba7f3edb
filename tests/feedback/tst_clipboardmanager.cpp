#include "MemoryClipboard.h"
#include "feedback/ClipboardManager.h"
#include "feedback/QtClipboard.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;
using Text = std::optional<QString>;

class TestClipboardManager : public QObject
{
    Q_OBJECT
private slots:
    void copy_data();
    void copy();
    void refusedWriteIsCopyFailed();
    void realClipboardIsReadableByOtherClients();
};

void TestClipboardManager::copy_data()
{
    // `after` none: the copy fails with emptyText and leaves the clipboard.
    QTest::addColumn<Text>("before");
    QTest::addColumn<bool>("image");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("additive");
    QTest::addColumn<Text>("after");
    const Text none;
    QTest::newRow("replace trims")
        << Text(u"old"_s) << false << u"  hello \n"_s << false << Text(u"hello"_s);
    QTest::newRow("inner space kept")
        << none << false << u"\ta  b\n\nc\u2029"_s << false << Text(u"a  b\n\nc"_s);
    QTest::newRow("unicode space trimmed")
        << none << false << u"\u00a0x\u3000"_s << false << Text(u"x"_s);
    QTest::newRow("additive appends")
        << Text(u"first"_s) << false << u"second"_s << true << Text(u"first\n\nsecond"_s);
    QTest::newRow("additive keeps the old text as is")
        << Text(u"first "_s) << false << u"second"_s << true << Text(u"first \n\nsecond"_s);
    QTest::newRow("additive on nothing")
        << none << false << u" second "_s << true << Text(u"second"_s);
    QTest::newRow("additive on empty text")
        << Text(u""_s) << false << u"second"_s << true << Text(u"second"_s);
    QTest::newRow("additive over an image drops it")
        << none << true << u"second"_s << true << Text(u"second"_s);
    QTest::newRow("empty") << Text(u"keep"_s) << false << QString() << false << none;
    QTest::newRow("white space only") << Text(u"keep"_s) << true << u" \n\t\r\n"_s << false << none;
    QTest::newRow("additive white space only")
        << Text(u"keep"_s) << false << u" \n "_s << true << none;
}

void TestClipboardManager::copy()
{
    QFETCH(Text, before);
    QFETCH(bool, image);
    QFETCH(QString, input);
    QFETCH(bool, additive);
    QFETCH(Text, after);
    MemoryClipboard clipboard;
    clipboard.current = before;
    clipboard.holdsImage = image;
    const auto result = ClipboardManager::copyToClipboard(clipboard, input, additive);
    QCOMPARE(result.hasValue(), after.has_value());
    if (after) {
        QCOMPARE(clipboard.current, after);
        QVERIFY(!clipboard.holdsImage);
    } else {
        QCOMPARE(result.error(), ClipboardError::emptyText);
        QCOMPARE(clipboard.current, before);
        QCOMPARE(clipboard.holdsImage, image);
        QCOMPARE(clipboard.clears, 0);
    }
}

void TestClipboardManager::refusedWriteIsCopyFailed()
{
    MemoryClipboard clipboard;
    clipboard.refuseWrites = true;
    const auto result = ClipboardManager::copyToClipboard(clipboard, QStringLiteral("new"));
    QVERIFY(!result.hasValue());
    QCOMPARE(result.error(), ClipboardError::copyFailed);
}

void TestClipboardManager::realClipboardIsReadableByOtherClients()
{
    const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    if (QGuiApplication::platformName() != QLatin1String("xcb") || xclip.isEmpty()) {
        QSKIP("needs an X server and xclip");
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
    QCOMPARE(clipboard.text(), Text(text + QStringLiteral("\n\nmore")));
}

QTEST_MAIN(TestClipboardManager)
#include "tst_clipboardmanager.moc"
