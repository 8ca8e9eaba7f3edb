#include "CaseTable.h"
#include "EditDistance.h"
#include "capture/ImageFile.h"
#include "capture/ReadingOrder.h"
#include "capture/TesseractRecognizer.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <memory>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

struct Line
{
    QString text;
    QPoint topLeft;
    int pixelSize = 0; // 0: the image's size
    bool bold = false;
};

// Renders lines of text the way a screen shows them: anti-aliased; at device
// scale 2 as a HiDPI screen does (the same layout, strokes twice as wide).
QImage render(QSize size, const QString& family, int pixelSize, bool dark, const QList<Line>& lines,
              int deviceScale = 1)
{
    QImage image(size * deviceScale, QImage::Format_RGB32);
    image.setDevicePixelRatio(deviceScale);
    image.fill(dark ? QColor(0x1e, 0x1e, 0x1e) : QColor(Qt::white));
    QPainter painter(&image);
    painter.setPen(dark ? QColor(0xd4, 0xd4, 0xd4) : QColor(0x20, 0x20, 0x20));
    for (const Line& line : lines) {
        QFont font(family);
        font.setPixelSize(line.pixelSize ? line.pixelSize : pixelSize);
        font.setBold(line.bold);
        painter.setFont(font);
        painter.drawText(line.topLeft.x(), line.topLeft.y() + painter.fontMetrics().ascent(),
                         line.text);
    }
    painter.end();
    image.setDevicePixelRatio(1);
    return image;
}

QImage renderLine(const QString& family, int pixelSize, bool dark, const QString& text,
                  bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    const int width = QFontMetrics(font).horizontalAdvance(text);
    return render(QSize(width + 4 * pixelSize, pixelSize * 4), family, pixelSize, dark,
                  {{text, QPoint(2 * pixelSize, pixelSize), pixelSize, bold}});
}

QString simplified(const QString& text)
{
    return text.normalized(QString::NormalizationForm_C).simplified();
}

double editDistanceRatio(const QString& a, const QString& b)
{
    return double(levenshtein(a, b)) / double(std::max<qsizetype>(1, a.size()));
}

} // namespace

class TestTesseractRecognizer : public QObject
{
    Q_OBJECT

private:
    // Loading eight languages takes most of a second: one engine for the suite.
    std::unique_ptr<TesseractRecognizer> m_recognizer;

    QString recognizeText(const QImage& image)
    {
        const auto result = m_recognizer->recognize(image);
        if (!result) {
            return u"<error>"_s;
        }
        return ReadingOrder::joinObservations(ReadingOrder::orderObservations(*result));
    }

private slots:
    void initTestCase()
    {
        QStringList warnings;
        m_recognizer = std::make_unique<TesseractRecognizer>();
        m_recognizer->setWarningHandler([&](const QString& w) { warnings << w; });
        QVERIFY(m_recognizer->load());
        QCOMPARE(m_recognizer->loadedLanguages(), TesseractRecognizer::defaultLanguages());
        QVERIFY(warnings.isEmpty());
    }

    // Single lines as screens show them; large and bold headings too, whose
    // strokes are wider than the ink step's window at full size and which
    // the engine misreads far above its best size. Flags: b bold, d dark.
    // Columns: font, pixel size, flags, text, the normalised edit distance allowed.
    void recognizesLines_data()
    {
        rows({u"DejaVu Sans→16→→The quick brown fox jumps over the lazy dog→0",
              u"Liberation Sans→20→d→Settings were saved at 10:45→0",
              u"Noto Sans→24→→Invoice total: $1,249.99→0",
              u"Noto Sans→18→d→The quick brown fox jumps over the lazy dog→0",
              u"DejaVu Sans→13→d→Show hidden files and folders→0.05",
              u"Liberation Sans→12→→Last modified yesterday by Anna→0.05",
              u"DejaVu Sans→11→→The quick brown fox jumps over the lazy dog→0.1",
              u"DejaVu Sans→18→→Les élèves ont étudié près de la fenêtre→0",
              u"Liberation Sans→18→d→Schöne Grüße aus München und Köln→0",
              u"DejaVu Sans→16→→El niño pequeño comió una manzana en el jardín→0",
              u"Noto Sans→15→d→A canção do coração não tem tradução→0",
              u"DejaVu Sans→18→→Съешь же ещё этих мягких французских булок→0",
              u"Noto Sans→16→→Київ є столицею України→0.05",
              u"DejaVu Sans→20→b→Quarterly Report Summary→0",
              u"DejaVu Sans→26→bd→Quarterly Report Summary→0",
              u"DejaVu Sans→32→b→Quarterly Report Summary→0",
              u"Liberation Sans→40→d→Quarterly Report Summary→0",
              u"DejaVu Sans→54→→Quarterly Report Summary→0",
              u"Noto Sans→48→bd→Account Settings→0",
              u"Liberation Sans→64→b→Release Notes→0",
              u"Noto Sans→64→d→Getting Started→0"});
    }

    void recognizesLines()
    {
        const QStringList f = fields();
        const QString& text = f[3];
        const double tolerance = f[4].toDouble();
        const QString recognized = simplified(recognizeText(
            renderLine(f[0], f[1].toInt(), f[2].contains(u'd'), text, f[2].contains(u'b'))));
        if (tolerance == 0) {
            QCOMPARE(recognized, text);
        } else {
            QVERIFY2(editDistanceRatio(text, recognized) <= tolerance, qPrintable(recognized));
        }
    }

    // Text of several sizes in one capture, and a HiDPI rendering: every
    // line comes back, in reading order.
    void readsBlocks_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QString>("expected");

        const QList<Line> dialog = {
            {u"Connection Settings"_s, QPoint(20, 14), 15, true},
            {u"Server address:"_s, QPoint(20, 52)},
            {u"mail.example.org"_s, QPoint(200, 52)},
            {u"Check for new mail"_s, QPoint(20, 84)},
            {u"Changes take effect after reconnecting."_s, QPoint(20, 116)}};
        const QList<Line> headed = {
            {u"Storage almost full"_s, QPoint(20, 16), 40, true},
            {u"Only 1.2 GB of 64 GB is left on this device."_s, QPoint(22, 80)},
            {u"Syncing is paused until space is available."_s, QPoint(22, 104)}};
        const QString noto = u"Noto Sans"_s;
        const auto add = [](const char* tag, const QImage& image, const QList<Line>& lines) {
            QStringList texts;
            for (const Line& line : lines) {
                texts << line.text;
            }
            QTest::newRow(tag) << image << texts.join(u'\n');
        };
        add("HiDPI dialog", render(QSize(480, 150), noto, 13, false, dialog, 2), dialog);
        add("HiDPI dialog, dark", render(QSize(480, 150), noto, 13, true, dialog, 2), dialog);
        add("heading above body", render(QSize(560, 140), noto, 15, false, headed), headed);
        add("heading above body, dark, HiDPI", render(QSize(560, 140), noto, 15, true, headed, 2),
            headed);
    }

    void readsBlocks()
    {
        QFETCH(QImage, image);
        QFETCH(QString, expected);
        QCOMPARE(recognizeText(image), expected);
    }

    // Text on coloured fills (a selected menu row, a filled button) must not
    // be merged into the fill by thresholding, nor take the plain label next
    // to it down with it.
    // Columns: the selected row's fill and text, the button's fill.
    void readsTextOnColouredFills_data()
    {
        rows({u"#d0e4ff→#101010→#1a73e8", u"#3584e4→#ffffff→#2ea043"});
    }

    void readsTextOnColouredFills()
    {
        const QStringList f = fields();
        const QColor rowFill(f[0]), rowText(f[1]), buttonFill(f[2]);
        QImage image(420, 170, QImage::Format_RGB32);
        image.fill(QColor(0xf0, 0xf0, 0xf0));
        QPainter painter(&image);
        QFont font(u"DejaVu Sans"_s);
        font.setPixelSize(13);
        painter.setFont(font);
        const int ascent = painter.fontMetrics().ascent();
        const QStringList items = {u"Cut"_s, u"Copy"_s, u"Paste"_s};
        for (int i = 0; i < items.size(); ++i) {
            const int y = 8 + 26 * i;
            if (i == 1) {
                painter.fillRect(QRect(4, y, 220, 26), rowFill);
            }
            painter.setPen(i == 1 ? rowText : QColor(0x24, 0x24, 0x24));
            painter.drawText(20, y + 6 + ascent, items[i]);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(buttonFill);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawRoundedRect(QRect(20, 110, 90, 30), 4, 4);
        painter.setPen(Qt::white);
        painter.drawText(42, 118 + ascent, u"Install"_s);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        painter.drawText(140, 118 + ascent, u"Later"_s);
        painter.end();

        const QString recognized = simplified(recognizeText(image));
        const QStringList words = recognized.split(QLatin1Char(' '));
        for (const QString& expected : items + QStringList{u"Install"_s, u"Later"_s}) {
            QVERIFY2(words.contains(expected), qPrintable(expected + u" not in: "_s + recognized));
        }
    }

    // Boxes come back normalised with the origin at the lower left, undoing
    // the engine's scaling and padding.
    void boxesAreNormalisedFromLowerLeft()
    {
        const QImage image = render(
            QSize(600, 200), u"DejaVu Sans"_s, 20, false,
            {{u"Top left words"_s, QPoint(20, 20)}, {u"Lower right words"_s, QPoint(380, 150)}});
        const auto result = m_recognizer->recognize(image);
        QVERIFY(result);
        QCOMPARE(result->size(), 2);
        const NormalizedRect top = result->at(0).boundingBox;
        const NormalizedRect low = result->at(1).boundingBox;
        QCOMPARE(result->at(0).candidates, QStringList{u"Top left words"_s});

        // Within a few pixels of where the text was drawn (20 px font).
        QVERIFY2(qAbs(top.x * 600 - 20) < 6, qPrintable(QString::number(top.x * 600)));
        QVERIFY2(qAbs((1 - top.y - top.height) * 200 - 20) < 8, "top edge");
        QVERIFY(top.height * 200 > 12 && top.height * 200 < 32);
        QVERIFY2(qAbs(low.x * 600 - 380) < 6, qPrintable(QString::number(low.x * 600)));
        QVERIFY2(qAbs((1 - low.y) * 200 - 175) < 8, qPrintable(QString::number(low.y)));
        QVERIFY(low.x + low.width <= 1.0 && low.y >= 0.0);
        QVERIFY(top.y > low.y);
    }

    // A visual row that crosses both columns is reported as two fragments, so
    // that reading order reads the left column, then the right one.
    void twoColumnsAreSplitAndReadInOrder_data() { rows({u"light", u"dark"}); }

    void twoColumnsAreSplitAndReadInOrder()
    {
        const bool dark = fields()[0] == u"dark";
        const QStringList left = QStringLiteral("Open the settings window|Choose the shortcut "
                                                "field|Press the new keys|Confirm with Enter|"
                                                "Try the shortcut once")
                                     .split(u'|');
        const QStringList right = QStringLiteral("Keys in use are refused|Modifiers alone are not "
                                                 "allowed|Escape cancels the recording|The old "
                                                 "shortcut stays active|Changes apply at once")
                                      .split(u'|');
        QList<Line> lines;
        for (int i = 0; i < left.size(); ++i) {
            lines.append({left[i], QPoint(20, 20 + 24 * i)});
            lines.append({right[i], QPoint(320, 20 + 24 * i)});
        }
        const QImage image = render(QSize(620, 150), u"Noto Sans"_s, 15, dark, lines);
        const auto result = m_recognizer->recognize(image);
        QVERIFY(result);
        QCOMPARE(result->size(), 10);
        for (const TextObservation& o : *result) {
            const bool inLeft = o.boundingBox.x + o.boundingBox.width < 300.0 / 620;
            const bool inRight = o.boundingBox.x > 300.0 / 620;
            QVERIFY2(inLeft || inRight, qPrintable(o.candidates.value(0)));
        }
        QCOMPARE(ReadingOrder::joinObservations(ReadingOrder::orderObservations(*result)),
                 (left + right).join(QLatin1Char('\n')));
    }

    // Images without text give no observations; absurd ones fail, and the
    // engine is still usable afterwards.
    void imagesWithoutText_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<bool>("fails");
        const auto filled = [](int w, int h, QImage::Format format, QColor colour) {
            QImage image(w, h, format);
            image.fill(colour);
            return image;
        };
        QImage gradient(256, 100, QImage::Format_Grayscale8);
        for (int y = 0; y < 100; ++y) {
            std::iota(gradient.scanLine(y), gradient.scanLine(y) + 256, 0);
        }
        const auto mono = QImage::Format_Mono;
        QTest::newRow("white") << filled(400, 200, QImage::Format_RGB32, Qt::white) << false;
        QTest::newRow("dark") << filled(300, 300, QImage::Format_ARGB32, QColor(0x202020)) << false;
        QTest::newRow("transparent")
            << filled(64, 64, QImage::Format_ARGB32, Qt::transparent) << false;
        QTest::newRow("1x1") << filled(1, 1, QImage::Format_Grayscale8, Qt::black) << false;
        QTest::newRow("gradient") << gradient << false;
        QTest::newRow("null") << QImage() << true;
        QTest::newRow("0x0") << QImage(0, 0, QImage::Format_RGB32) << true;
        QTest::newRow("too wide") << QImage(ImageFile::maxSide + 1, 8, mono) << true;
        QTest::newRow("too tall") << QImage(8, ImageFile::maxSide + 1, mono) << true;
        QTest::newRow("too many pixels") << QImage(11000, 10000, mono) << true;
    }

    void imagesWithoutText()
    {
        QFETCH(QImage, image);
        QFETCH(bool, fails);
        const auto result = m_recognizer->recognize(image);
        QCOMPARE(!result, fails);
        QVERIFY(fails ? result.error() == TextRecognizer::Error::recognitionFailed
                      : result->isEmpty());
        QCOMPARE(
            simplified(recognizeText(renderLine(u"DejaVu Sans"_s, 18, false, u"Still working"_s))),
            u"Still working"_s);
    }

    // A wide but permitted image is scaled less, not refused.
    void largeImageIsRecognised()
    {
        QImage image = render(QSize(9000, 300), u"DejaVu Sans"_s, 24, false,
                              {{u"Far right edge"_s, QPoint(8700, 130)}});
        QCOMPARE(simplified(recognizeText(image)), u"Far right edge"_s);
    }

    void concurrentCallsAreSerialised()
    {
        const QImage a = renderLine(u"DejaVu Sans"_s, 18, false, u"First image text"_s);
        const QImage b = renderLine(u"Liberation Sans"_s, 18, true, u"Second image text"_s);
        QList<QFuture<QString>> futures;
        for (int i = 0; i < 4; ++i) {
            futures.append(
                QtConcurrent::run([this, &a, &b, i] { return recognizeText(i % 2 ? b : a); }));
        }
        for (int i = 0; i < futures.size(); ++i) {
            QCOMPARE(simplified(futures[i].result()),
                     i % 2 ? u"Second image text"_s : u"First image text"_s);
        }
    }

    // Without any language data the engine is unavailable, and the failed
    // load is not retried per image. Missing languages are reported once; a
    // language whose data does not load is reported and skipped, even the
    // first one.
    void missingLanguagesAreReportedOnce()
    {
        QTemporaryDir dir;
        QStringList warnings;
        const QImage image = renderLine(u"DejaVu Sans"_s, 18, false, u"Hello there"_s);
        {
            TesseractRecognizer none(dir.path());
            none.setWarningHandler([&](const QString& w) { warnings << w; });
            for (int i = 0; i < 2; ++i) {
                const auto result = none.recognize(image);
                QCOMPARE(result ? -1 : int(result.error()),
                         int(TextRecognizer::Error::engineUnavailable));
            }
            QVERIFY(!none.isLoaded());
            QCOMPARE(warnings.size(), 1);
            warnings.clear();
        }
        QVERIFY(QFile::link(TesseractRecognizer::defaultDataDirectory() + u"/fra.traineddata"_s,
                            dir.filePath(u"fra.traineddata"_s)));
        QFile broken(dir.filePath(u"eng.traineddata"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a model") > 0);
        broken.close();
        TesseractRecognizer recognizer(dir.path());
        recognizer.setWarningHandler([&](const QString& w) { warnings << w; });
        // Loading on a worker thread ahead of the first image.
        QVERIFY(QtConcurrent::run([&] { return recognizer.load(); }).result());
        QCOMPARE(recognizer.loadedLanguages(), QStringList{u"fra"_s});
        const auto result = recognizer.recognize(image);
        QVERIFY(result);
        QCOMPARE(result->value(0).candidates.value(0), u"Hello there"_s);
        QCOMPARE(warnings.size(), 2);
        for (const char* code : {"ita", "deu", "spa", "por", "rus", "ukr"}) {
            QVERIFY(warnings.first().contains(QLatin1String(code)));
        }
        QVERIFY(!warnings.first().contains(QLatin1String("fra")));
        QVERIFY(warnings.last().contains(QLatin1String("eng")));
    }
};

QTEST_MAIN(TestTesseractRecognizer)
#include "tst_tesseractrecognizer.moc"
