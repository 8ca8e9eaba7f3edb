#include "app/CaptureWorkflow.h"

#include "CaseTable.h"
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
    // Columns: capture or scan, the outcome (the text, or "!" and a failure),
    // whether the clipboard refuses, the alert's title (empty: silent).
    void failures_data()
    {
        rows({u"c→!shot→→", u"s→!shot→→", u"c→!load→→", u"s→!load→→",
              u"c→!denied→→Permission Required", u"s→!denied→→Permission Required",
              u"c→  \n\t →→Copy Failed", u"s→  \n\t →→Copy Failed", u"c→text→refuse→Copy Failed",
              u"s→text→refuse→Copy Failed", u"c→!ocr→→OCR Error", u"c→!none→→No Text Found",
              u"s→!ocr→→Scan Error", u"s→!none→→No Code Found"});
    }

    void failures()
    {
        const QStringList f = fields();
        const bool scan = f[0] == u"s";
        const QStringList errors{u"!shot"_s, u"!load"_s, u"!ocr"_s, u"!none"_s, u"!denied"_s};
        Rig rig;
        rig.clipboard.current = u"earlier"_s;
        rig.clipboard.refuseWrites = !f[2].isEmpty();
        rig.handle(scan, errors.contains(f[1]) ? Outcome(unexpected(OCRError(errors.indexOf(f[1]))))
                                               : Outcome(f[1]));
        QCOMPARE(rig.alerts.size(), f[3].isEmpty() ? 0 : 1);
        if (!f[3].isEmpty()) {
            QCOMPARE(rig.alerts.first().at(0).toString(), f[3]);
            // A copy failure names its reason: the text after the colon is not blank.
            const QString text = rig.alerts.first().at(1).toString();
            QVERIFY2(f[3] != u"Copy Failed" || text.section(u": "_s, 1).trimmed().size() > 3,
                     qPrintable(text));
        }
        // A failed capture always takes the loading toast down; a scan never had one.
        QCOMPARE(rig.loadingHides.size(), scan ? 0 : 1);
        QVERIFY(!f[2].isEmpty() || rig.clip() == u"earlier"_s);
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
        const HistoryItem item = rig.store.history->items().first();
        QCOMPARE(item.deviceName, u"test-host"_s);
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
