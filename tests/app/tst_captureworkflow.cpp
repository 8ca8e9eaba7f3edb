#include "app/CaptureWorkflow.h"

#include "HistoryRig.h"
#include "MemoryClipboard.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Outcome = Expected<QString, OCRError>;

// The workflow over a real history (encrypted, in a private directory), with
// spies on every request it makes.
struct Rig
{
    HistoryRig store;
    MemoryClipboard clipboard;
    int historyUses = 0;
    CaptureWorkflow workflow{clipboard,
                             [this]() -> HistoryService& {
                                 ++historyUses;
                                 return *store.history;
                             },
                             u"test-host"_s};
    QSignalSpy alerts{&workflow, &CaptureWorkflow::alertRequested};
    QSignalSpy notifications{&workflow, &CaptureWorkflow::notificationRequested};
    QSignalSpy loadingHides{&workflow, &CaptureWorkflow::loadingToastHideRequested};
    QSignalSpy toasts{&workflow, &CaptureWorkflow::confirmationToastRequested};
    QSignalSpy recorded{&workflow, &CaptureWorkflow::captureRecorded};

    Rig() { store.start(); }
    QString clip() const { return clipboard.current.value_or(u"<no text>"_s); }
    QStringList history() const { return texts(store.history->items()); }
    void handle(bool scan, const Outcome& outcome)
    {
        scan ? workflow.handleScanOutcome(outcome) : workflow.handleCaptureOutcome(outcome);
        QCoreApplication::processEvents();
    }
};

} // namespace

class TestCaptureWorkflow : public QObject
{
    Q_OBJECT
private slots:

private slots:
    void failures_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("refuseCopy");
        QTest::addColumn<QString>("title");   // empty: silent
        QTest::addColumn<QString>("message"); // the start of the message

        const auto row = [](const QByteArray& tag, bool scan, Outcome outcome, const QString& title,
                            const QString& message, bool refuse = false) {
            QTest::newRow(tag.constData()) << scan << outcome << refuse << title << message;
        };
        for (bool scan : {false, true}) {
            const auto tag = [scan](const char* what) {
                return QByteArray(scan ? "scan " : "capture ") + what;
            };
            row(tag("cancelled"), scan, unexpected(OCRError::screenshotFailed), {}, {});
            row(tag("unloadable"), scan, unexpected(OCRError::imageLoadFailed), {}, {});
            row(tag("no permission"), scan, unexpected(OCRError::permissionDenied),
                u"Permission Required"_s, u"Please allow quillsnap to take screenshots"_s);
            row(tag("white space only"), scan, u"  \n\t "_s, u"Copy Failed"_s,
                scan ? u"Failed to copy barcode data to clipboard: "_s
                     : u"Failed to copy text to clipboard: "_s);
            row(tag("clipboard refuses"), scan, u"text"_s, u"Copy Failed"_s, u"Failed to copy"_s,
                true);
        }
        row("capture ocrFailed", false, unexpected(OCRError::ocrFailed), u"OCR Error"_s,
            u"Failed to extract text from the screenshot."_s);
        row("capture noTextDetected", false, unexpected(OCRError::noTextDetected),
            u"No Text Found"_s, u"No text was detected in the captured screenshot."_s);
        row("scan ocrFailed", true, unexpected(OCRError::ocrFailed), u"Scan Error"_s,
            u"Failed to scan for QR/Barcode."_s);
        row("scan noTextDetected", true, unexpected(OCRError::noTextDetected), u"No Code Found"_s,
            u"No QR code or barcode was detected in the captured screenshot."_s);
    }

    void failures()
    {
        QFETCH(bool, scan);
        QFETCH(Outcome, outcome);
        QFETCH(bool, refuseCopy);
        QFETCH(QString, title);
        QFETCH(QString, message);

        Rig rig;
        rig.clipboard.current = u"earlier"_s;
        rig.clipboard.refuseWrites = refuseCopy;
        rig.handle(scan, outcome);

        QCOMPARE(rig.alerts.size(), title.isEmpty() ? 0 : 1);
        if (!title.isEmpty()) {
            QCOMPARE(rig.alerts.first().at(0).toString(), title);
            const QString text = rig.alerts.first().at(1).toString();
            QVERIFY2(text.startsWith(message), qPrintable(text));
            // A copy failure names its reason; the text after the prefix is not blank.
            QVERIFY(title != u"Copy Failed"_s || text.size() > message.size() + 5);
        }
        // A failed capture always takes the loading toast down; a scan never had one.
        QCOMPARE(rig.loadingHides.size(), scan ? 0 : 1);
        if (!refuseCopy) {
            QCOMPARE(rig.clip(), u"earlier"_s);
        }
        QVERIFY(rig.toasts.isEmpty() && rig.notifications.isEmpty() && rig.recorded.isEmpty());
        QVERIFY(rig.history().isEmpty());
    }

    void captureIsCopiedRecordedAndSaved()
    {
        Rig rig;
        rig.workflow.handleCaptureOutcome(u"one  two\nthree"_s);
        QCOMPARE(rig.clip(), u"one  two\nthree"_s);
        // The toast is queued, not shown from inside the handler.
        QVERIFY(rig.toasts.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(rig.toasts.size(), 1);
        QCOMPARE(rig.toasts.first().first().toDouble(), 2.5);

        const HistoryItem item = rig.store.history->items().first();
        // Only the space separates words: "two\nthree" is one piece.
        QCOMPARE(item.wordCount, qint64(2));
        QCOMPARE(item.characterCount, qint64(14));
        QCOMPARE(item.deviceName, u"test-host"_s);
        QVERIFY(!item.isSynced && !item.cloudRecordID);
        QCOMPARE(rig.recorded.first().first().value<HistoryItem>().id, item.id);
        rig.store.settle();
        QCOMPARE(rig.store.readEncrypted()->first().id, item.id);
        QVERIFY(!rig.store.read(HistoryService::encryptedStorageKey)->contains("three"));

        // A price list becomes a table on the clipboard and in the record.
        rig.workflow.handleCaptureOutcome(u"Coffee\n$3.50\nTea\n$2.00\nCake\n$4.25"_s);
        const QString table = u"| Name | Value |\n|---|---|\n| Coffee | $3.50 |\n| Tea | $2.00 |\n"
                              u"| Cake | $4.25 |\n"_s;
        QCOMPARE(rig.clip(), table.trimmed());
        QCOMPARE(rig.history().first(), table);
    }

    void additiveCapturesAppendScansReplace()
    {
        Rig rig;
        rig.workflow.setAdditiveClipboard(true);
        rig.handle(false, u"a"_s);
        rig.handle(false, u"b"_s);
        QCOMPARE(rig.clip(), u"a\n\nb"_s);
        // Each record holds its own capture, not the joined clipboard.
        QCOMPARE(rig.history(), (QStringList{u"b"_s, u"a"_s}));
        // A scan notifies with its first 50 characters and is not recorded.
        const QString fifty = QString(25, u'x') + QString(25, u'y');
        const int historyUses = rig.historyUses;
        rig.handle(true, fifty);
        rig.handle(true, fifty + u'z');
        QCOMPARE(rig.clip(), fifty + u'z');
        QCOMPARE(rig.notifications.size(), 2);
        QCOMPARE(rig.notifications.at(0).at(0).toString(), u"QR/Barcode Scanned"_s);
        QCOMPARE(rig.notifications.at(0).at(1).toString(), fifty);
        QCOMPARE(rig.notifications.at(1).at(1).toString(), fifty + u"..."_s);
        QCOMPARE(rig.historyUses, historyUses);
        QCOMPARE(rig.toasts.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCaptureWorkflow)
#include "tst_captureworkflow.moc"
