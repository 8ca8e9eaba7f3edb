#include "BarcodeImage.h"
#include "TestEnvironment.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliImageFiles : public QObject
{
    Q_OBJECT

private:
    TestEnvironment m_env;
    QTemporaryDir m_dir;

    Run cli(const QStringList& args)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(QUILLSNAP_CLI_PATH), args);
        Run run;
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const auto save = [this](const QImage& image, const char* name) {
            return image.save(m_dir.filePath(QString::fromLatin1(name)));
        };
        QVERIFY(save(BarcodeImage::qr(L"hello"), "qr.png"));
        QVERIFY(save(BarcodeImage::row({BarcodeImage::qr(L"left"), BarcodeImage::qr(L"right")}),
                     "two.png"));
        QVERIFY(save(BarcodeImage::qr(L"  padded  "), "padded.png"));
        QVERIFY(save(BarcodeImage::whiteCanvas(300, 120), "blank.png"));
        QFile bad(m_dir.filePath(QStringLiteral("bad.png")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not an image");
    }

    void scanFile_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString none = QStringLiteral("No QR code or barcode was detected in blank.png\n");
        // clang-format off
        QTest::newRow("one code") << QStringList{QStringLiteral("qr.png")} << 0 << QStringLiteral("hello\n") << QString();
        QTest::newRow("several files, several codes") << QStringList{QStringLiteral("qr.png"), QStringLiteral("two.png")} << 0 << QStringLiteral("hello\nleft\nright\n") << QString();
        QTest::newRow("trimmed as the clipboard does") << QStringList{QStringLiteral("padded.png")} << 0 << QStringLiteral("padded\n") << QString();
        QTest::newRow("no code") << QStringList{QStringLiteral("qr.png"), QStringLiteral("blank.png")} << 1 << QStringLiteral("hello\n") << none;
        QTest::newRow("unreadable wins") << QStringList{QStringLiteral("bad.png"), QStringLiteral("blank.png")} << 2 << QString() << QStringLiteral("quillsnap-cli scan-file: cannot read bad.png as an image\n") + none;
        QTest::newRow("missing file") << QStringList{QStringLiteral("missing.png")} << 2 << QString() << QStringLiteral("quillsnap-cli scan-file: cannot read missing.png as an image\n");
        // clang-format on
    }

    void scanFile()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run run = cli(QStringList{QStringLiteral("scan-file")} + args);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err, err);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("scan-file without files") << QStringList{QStringLiteral("scan-file")};
        QTest::newRow("recognize without files") << QStringList{QStringLiteral("recognize")};
        QTest::newRow("unknown option") << QStringList{
            QStringLiteral("recognize"), QStringLiteral("--fast"), QStringLiteral("qr.png")};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const Run run = cli(args);
        QCOMPARE(run.status, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY(!run.err.isEmpty());
    }

    void jsonLines()
    {
        const Run run = cli({QStringLiteral("scan-file"), QStringLiteral("--json"),
                             QStringLiteral("two.png"), QStringLiteral("blank.png")});
        QCOMPARE(run.status, 1);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines.at(0).toUtf8()).object();
        QCOMPARE(first.value(QStringLiteral("file")).toString(), QStringLiteral("two.png"));
        QCOMPARE(first.value(QStringLiteral("text")).toString(), QStringLiteral("left\nright"));
        QVERIFY(first.value(QStringLiteral("ms")).isDouble());
        const QJsonObject second = QJsonDocument::fromJson(lines.at(1).toUtf8()).object();
        QCOMPARE(second.value(QStringLiteral("file")).toString(), QStringLiteral("blank.png"));
        QCOMPARE(second.value(QStringLiteral("text")).toString(), QString());
    }

    // Text recognition itself is covered with real images end to end; here
    // only the command's outcomes that need no text.
    void recognizeOutcomes()
    {
        Run run = cli(
            {QStringLiteral("recognize"), QStringLiteral("--json"), QStringLiteral("blank.png")});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QStringLiteral("No text was detected in blank.png\n"));
        const QJsonObject line = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(line.value(QStringLiteral("file")).toString(), QStringLiteral("blank.png"));
        QCOMPARE(line.value(QStringLiteral("text")).toString(), QString());

        run = cli(
            {QStringLiteral("recognize"), QStringLiteral("blank.png"), QStringLiteral("bad.png")});
        QCOMPARE(run.status, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(QStringLiteral("cannot read bad.png")));
    }
};

QTEST_GUILESS_MAIN(TestCliImageFiles)
#include "tst_cli_imagefiles.moc"
