#include "app/CaptureWorkflow.h"

#include "common/Clock.h"
#include "history/EncryptionService.h"
#include "history/HistoryItem.h"
#include "history/HistoryService.h"
#include "settings/Preferences.h"

#include "MemoryClipboard.h"
#include "MemorySecretStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Outcome = Expected<QString, OCRError>;
using Alert = QPair<QString, QString>;

const QString permissionMessage =
    u"Please grant Screen Recording permission in System Settings > Privacy & Security."_s;

// The workflow over a real history (encrypted, in a private directory) and
// hooks that record every call.
struct Rig
{
    QTemporaryDir dir;
    Preferences prefs{dir.filePath(u"quillsnap.conf"_s), dir.filePath(u"data"_s)};
    MemorySecretStore keyring;
    EncryptionService encryption{keyring};
    std::unique_ptr<HistoryService> history;
    MemoryClipboard clipboard;

    QList<Alert> alerts;
    QList<Alert> notifications;
    int loadingHides = 0;
    QList<double> toasts;
    QList<HistoryItem> uploads;
    int historyUses = 0;
    bool additive = false;
    bool sync = false;

    std::unique_ptr<CaptureWorkflow> workflow;

    Rig()
    {
        history = std::make_unique<HistoryService>(prefs.dataDir(), encryption, Clock::system());
        CaptureWorkflow::Hooks hooks;
        hooks.showAlert = [this](const QString& t, const QString& m) { alerts.append({t, m}); };
        hooks.postNotification = [this](const QString& t, const QString& b) {
            notifications.append({t, b});
        };
        hooks.hideLoadingToast = [this] { ++loadingHides; };
        hooks.showConfirmationToast = [this](double seconds) { toasts.append(seconds); };
        hooks.additiveClipboard = [this] { return additive; };
        hooks.syncEnabled = [this] { return sync; };
        hooks.upload = [this](const HistoryItem& item) { uploads.append(item); };
        hooks.deviceName = [] { return u"test-host"_s; };
        workflow = std::make_unique<CaptureWorkflow>(
            clipboard,
            [this]() -> HistoryService& {
                ++historyUses;
                return *history;
            },
            std::move(hooks));
    }

    const QList<HistoryItem>& items() const { return history->items(); }
    QString clip() const { return clipboard.current.value_or(u"<no text>"_s); }

    QStringList texts() const
    {
        QStringList out;
        for (const HistoryItem& item : items()) {
            out.append(item.text);
        }
        return out;
    }

    // Lets the queued toast request run.
    void settle() { QCoreApplication::processEvents(); }
};

} // namespace

class TestCaptureWorkflow : public QObject
{
    Q_OBJECT
private slots:
    void failures_data();
    void failures();
    void captureSuccess();
    void copyFailures_data();
    void copyFailures();
    void priceListBecomesTable();
    void additiveCapturesAppend();
    void scanNotificationBody_data();
    void scanNotificationBody();
    void scanReplacesClipboardInAdditiveMode();
    void counts();
    void uploadFollowsSyncSwitch();
};

void TestCaptureWorkflow::failures_data()
{
    QTest::addColumn<bool>("scan");
    QTest::addColumn<OCRError>("error");
    QTest::addColumn<QString>("title"); // empty: silent
    QTest::addColumn<QString>("message");

    QTest::newRow("capture screenshotFailed")
        << false << OCRError::screenshotFailed << QString() << QString();
    QTest::newRow("capture imageLoadFailed")
        << false << OCRError::imageLoadFailed << QString() << QString();
    QTest::newRow("capture ocrFailed") << false << OCRError::ocrFailed << u"OCR Error"_s
                                       << u"Failed to extract text from the screenshot."_s;
    QTest::newRow("capture noTextDetected")
        << false << OCRError::noTextDetected << u"No Text Found"_s
        << u"No text was detected in the captured screenshot."_s;
    QTest::newRow("capture permissionDenied")
        << false << OCRError::permissionDenied << u"Permission Required"_s << permissionMessage;

    QTest::newRow("scan screenshotFailed")
        << true << OCRError::screenshotFailed << QString() << QString();
    QTest::newRow("scan imageLoadFailed")
        << true << OCRError::imageLoadFailed << QString() << QString();
    QTest::newRow("scan ocrFailed")
        << true << OCRError::ocrFailed << u"Scan Error"_s << u"Failed to scan for QR/Barcode."_s;
    QTest::newRow("scan noTextDetected")
        << true << OCRError::noTextDetected << u"No Code Found"_s
        << u"No QR code or barcode was detected in the captured screenshot."_s;
    QTest::newRow("scan permissionDenied")
        << true << OCRError::permissionDenied << u"Permission Required"_s << permissionMessage;
}

void TestCaptureWorkflow::failures()
{
    QFETCH(bool, scan);
    QFETCH(OCRError, error);
    QFETCH(QString, title);
    QFETCH(QString, message);

    Rig rig;
    rig.clipboard.current = u"earlier"_s;
    const Outcome outcome = unexpected(error);
    if (scan) {
        rig.workflow->handleScanOutcome(outcome);
    } else {
        rig.workflow->handleCaptureOutcome(outcome);
    }
    rig.settle();

    const QList<Alert> expected = title.isEmpty() ? QList<Alert>{} : QList<Alert>{{title, message}};
    QCOMPARE(rig.alerts, expected);
    // A failed capture always takes the loading toast down; a scan never had one.
    QCOMPARE(rig.loadingHides, scan ? 0 : 1);
    QCOMPARE(rig.clip(), u"earlier"_s);
    QCOMPARE(rig.clipboard.clears, 0);
    QVERIFY(rig.toasts.isEmpty());
    QVERIFY(rig.notifications.isEmpty());
    // Failures do not even load the history.
    QCOMPARE(rig.historyUses, 0);
    QVERIFY(rig.items().isEmpty());
}

void TestCaptureWorkflow::captureSuccess()
{
    Rig rig;
    const QDateTime before = QDateTime::currentDateTime();
    rig.workflow->handleCaptureOutcome(u"Hello world"_s);

    QCOMPARE(rig.clip(), u"Hello world"_s);
    QVERIFY(rig.alerts.isEmpty());
    QCOMPARE(rig.loadingHides, 0);
    // The toast is queued, not shown from inside the handler.
    QVERIFY(rig.toasts.isEmpty());
    rig.settle();
    QCOMPARE(rig.toasts, QList<double>{2.5});

    QCOMPARE(rig.items().size(), 1);
    const HistoryItem& item = rig.items().first();
    QCOMPARE(item.text, u"Hello world"_s);
    QCOMPARE(item.characterCount, qint64(11));
    QCOMPARE(item.wordCount, qint64(2));
    QCOMPARE(item.deviceName, u"test-host"_s);
    QVERIFY(!item.isSynced);
    QVERIFY(!item.cloudRecordID.has_value());
    QVERIFY(!item.isEncrypted);
    QVERIFY(!item.id.isNull());
    QVERIFY(item.timestamp >= before.addMSecs(-1));
    QVERIFY(item.timestamp <= QDateTime::currentDateTime());

    // Saved at once, encrypted, with the new record first.
    const auto stored = rig.prefs.dataValue(HistoryService::encryptedStorageKey);
    QVERIFY(stored.has_value());
    QVERIFY(!stored->contains("Hello world"));
    EncryptionService reader(rig.keyring);
    const auto plain = reader.decrypt(*stored);
    QVERIFY(plain.hasValue());
    const QJsonDocument doc = QJsonDocument::fromJson(*plain);
    QVERIFY(doc.isArray());
    QCOMPARE(doc.array().size(), 1);
    QCOMPARE(doc.array().first().toObject().value(u"id"_s).toString(), item.idText());
}

void TestCaptureWorkflow::copyFailures_data()
{
    QTest::addColumn<bool>("scan");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<QString>("prefix");

    const QString capturePrefix = u"Failed to copy text to clipboard: "_s;
    const QString scanPrefix = u"Failed to copy barcode data to clipboard: "_s;
    QTest::newRow("capture white space only") << false << u"  \n\t \n"_s << false << capturePrefix;
    QTest::newRow("capture refused") << false << u"hello"_s << true << capturePrefix;
    QTest::newRow("scan white space only") << true << u" \n "_s << false << scanPrefix;
    QTest::newRow("scan refused") << true << u"https://example.org"_s << true << scanPrefix;
}

void TestCaptureWorkflow::copyFailures()
{
    QFETCH(bool, scan);
    QFETCH(QString, text);
    QFETCH(bool, refuse);
    QFETCH(QString, prefix);

    Rig rig;
    rig.clipboard.refuseWrites = refuse;
    if (scan) {
        rig.workflow->handleScanOutcome(text);
    } else {
        rig.workflow->handleCaptureOutcome(text);
    }
    rig.settle();

    QCOMPARE(rig.alerts.size(), 1);
    QCOMPARE(rig.alerts.first().first, u"Copy Failed"_s);
    const QString message = rig.alerts.first().second;
    QVERIFY2(message.startsWith(prefix), qPrintable(message));
    // The reason names the failure; it is not left blank.
    QVERIFY(message.size() > prefix.size() + 5);

    QCOMPARE(rig.loadingHides, scan ? 0 : 1);
    QVERIFY(rig.items().isEmpty());
    QVERIFY(!rig.prefs.dataValue(HistoryService::encryptedStorageKey).has_value());
    QVERIFY(rig.toasts.isEmpty());
    QVERIFY(rig.notifications.isEmpty());
    QVERIFY(rig.uploads.isEmpty());
}

void TestCaptureWorkflow::priceListBecomesTable()
{
    Rig rig;
    rig.workflow->handleCaptureOutcome(u"Coffee\n$3.50\nTea\n$2.00\nCake\n$4.25"_s);
    const QString table = u"| Name | Value |\n|---|---|\n| Coffee | $3.50 |\n| Tea | $2.00 |\n"
                          u"| Cake | $4.25 |\n"_s;
    // The clipboard holds the trimmed table; the record the table as made.
    QCOMPARE(rig.clip(), table.trimmed());
    QCOMPARE(rig.texts(), QStringList{table});
}

void TestCaptureWorkflow::additiveCapturesAppend()
{
    Rig rig;
    rig.additive = true;
    rig.workflow->handleCaptureOutcome(u"a"_s);
    rig.workflow->handleCaptureOutcome(u"b"_s);
    rig.settle();

    QCOMPARE(rig.clip(), u"a\n\nb"_s);
    // Each record holds its own capture, not the joined clipboard.
    QCOMPARE(rig.texts(), (QStringList{u"b"_s, u"a"_s}));
    QCOMPARE(rig.toasts, (QList<double>{2.5, 2.5}));

    // Both survive a restart of the history.
    rig.history =
        std::make_unique<HistoryService>(rig.prefs.dataDir(), rig.encryption, Clock::system());
    QCOMPARE(rig.texts(), (QStringList{u"b"_s, u"a"_s}));
}

void TestCaptureWorkflow::scanNotificationBody_data()
{
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("body");

    const QString fifty = QString(25, u'x') + QString(25, u'y');
    QTest::newRow("50 shown whole") << fifty << fifty;
    QTest::newRow("51 cut with ellipsis") << fifty + u"z"_s << fifty + u"..."_s;
    QTest::newRow("short") << u"https://example.org"_s << u"https://example.org"_s;
    // Characters are what the user sees: a letter with its accent is one.
    QString accented;
    for (int i = 0; i < 50; ++i) {
        accented += u"e\u0301"_s;
    }
    QTest::newRow("50 accented shown whole") << accented << accented;
    QTest::newRow("51 accented cut between characters")
        << accented + u"e\u0301"_s << accented + u"..."_s;
}

void TestCaptureWorkflow::scanNotificationBody()
{
    QFETCH(QString, payload);
    QFETCH(QString, body);

    Rig rig;
    rig.workflow->handleScanOutcome(payload);
    rig.settle();
    QCOMPARE(rig.notifications, (QList<Alert>{{u"QR/Barcode Scanned"_s, body}}));
    QCOMPARE(rig.clip(), payload);
    QVERIFY(rig.alerts.isEmpty());
}

void TestCaptureWorkflow::scanReplacesClipboardInAdditiveMode()
{
    Rig rig;
    rig.additive = true;
    rig.clipboard.current = u"earlier capture"_s;
    rig.workflow->handleScanOutcome(u"CODE-128"_s);
    rig.settle();

    QCOMPARE(rig.clip(), u"CODE-128"_s);
    QCOMPARE(rig.notifications.size(), 1);
    QCOMPARE(rig.historyUses, 0);
    QVERIFY(rig.items().isEmpty());
    QVERIFY(rig.toasts.isEmpty());
    QCOMPARE(rig.loadingHides, 0);
}

void TestCaptureWorkflow::counts()
{
    Rig rig;
    // Only the space separates words: "two\nthree" is one piece.
    rig.workflow->handleCaptureOutcome(u"one  two\nthree"_s);
    QCOMPARE(rig.items().size(), 1);
    QCOMPARE(rig.items().first().wordCount, qint64(2));
    QCOMPARE(rig.items().first().characterCount, qint64(14));
}

void TestCaptureWorkflow::uploadFollowsSyncSwitch()
{
    Rig rig;
    rig.workflow->handleCaptureOutcome(u"first"_s);
    QVERIFY(rig.uploads.isEmpty());

    // Switching sync on uploads later captures only, each once.
    rig.sync = true;
    rig.workflow->handleCaptureOutcome(u"second"_s);
    QCOMPARE(rig.uploads.size(), 1);
    QCOMPARE(rig.uploads.first().id, rig.items().first().id);
    QCOMPARE(rig.uploads.first().text, u"second"_s);

    // A failed capture uploads nothing.
    rig.workflow->handleCaptureOutcome(unexpected(OCRError::noTextDetected));
    QCOMPARE(rig.uploads.size(), 1);
}

QTEST_GUILESS_MAIN(TestCaptureWorkflow)
#include "tst_captureworkflow.moc"
