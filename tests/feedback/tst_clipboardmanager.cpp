#include "MemoryClipboard.h"
#include "feedback/ClipboardManager.h"
#include "feedback/QtClipboard.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Text = std::optional<QString>;

class TestClipboardManager : public QObject
{
    Q_OBJECT
private slots:
    void copy_data()
    {
        // `after` none: the copy fails with emptyText and leaves the clipboard.
        QTest::addColumn<Text>("before");
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("additive");
        QTest::addColumn<Text>("after");
        const Text none;
        QTest::newRow("replace trims")
            << Text(u"old"_s) << true << u"  hello \n"_s << false << Text(u"hello"_s);
        QTest::newRow("only the ends trimmed")
            << none << false << u"\u00a0a  b\n\nc\u2029"_s << false << Text(u"a  b\n\nc"_s);
        QTest::newRow("additive appends, old text as is")
            << Text(u"first "_s) << false << u"second"_s << true << Text(u"first \n\nsecond"_s);
        QTest::newRow("additive over an image")
            << none << true << u" second "_s << true << Text(u"second"_s);
        QTest::newRow("additive over empty text")
            << Text(u""_s) << false << u"second"_s << true << Text(u"second"_s);
        QTest::newRow("white space only")
            << Text(u"keep"_s) << true << u" \n\t\r\n"_s << false << none;
        QTest::newRow("additive, white space only")
            << Text(u"keep"_s) << false << u" \n "_s << true << none;
    }

    void copy()
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
        QCOMPARE(result ? -1 : int(result.error()), after ? -1 : int(ClipboardError::emptyText));
        // A refused copy touches nothing; a copy leaves the one text item.
        QCOMPARE(clipboard.current, after ? after : before);
        QCOMPARE(clipboard.holdsImage, after ? false : image);
    }

    // The system clipboard read back for an additive copy. (Other clients
    // reading it: capture_e2e and wayland_e2e.)
    void realClipboardAppends()
    {
        QtClipboard clipboard;
        QVERIFY(ClipboardManager::copyToClipboard(clipboard, u"Grüße, мир ✓"_s).hasValue());
        QVERIFY(ClipboardManager::copyToClipboard(clipboard, u"more"_s, true).hasValue());
        QCOMPARE(clipboard.text(), Text(u"Grüße, мир ✓\n\nmore"_s));
    }
};

QTEST_MAIN(TestClipboardManager)
#include "tst_clipboardmanager.moc"
