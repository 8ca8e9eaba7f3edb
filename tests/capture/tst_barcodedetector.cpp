#include "capture/BarcodeDetector.h"

#include "BarcodeImage.h"

#include <QTest>
#include <QTransform>

using ZXing::BarcodeFormat;
using namespace Qt::StringLiterals;

class TestBarcodeDetector : public QObject
{
    Q_OBJECT

private:
    // The code cropped to its outermost modules, as a user drags it out.
    static QImage tight(const QImage& image)
    {
        QRect ink;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 128) {
                    ink |= QRect(x, y, 1, 1);
                }
            }
        }
        return image.copy(ink);
    }

    // Payloads as the test tables spell them; a code without text shows as "∅".
    static QStringList payloads(const QImage& image)
    {
        const auto found = BarcodeDetector::detect(image);
        if (!found) {
            return {QStringLiteral("error")};
        }
        QStringList list;
        for (const std::optional<QString>& payload : *found) {
            list.append(payload.value_or(QStringLiteral("∅")));
        }
        return list;
    }

private slots:
    void detect_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QStringList>("expected");

        const QImage hello = BarcodeImage::qr(L"hello");
        QTest::newRow("one QR") << hello << QStringList{u"hello"_s};
        QTest::newRow("two codes, left to right")
            << BarcodeImage::row({BarcodeImage::qr(L"left"), BarcodeImage::qr(L"right")})
            << QStringList{u"left"_s, u"right"_s};
        QTest::newRow("two identical codes kept twice")
            << BarcodeImage::row({hello, hello}) << QStringList(2, u"hello"_s);
        QTest::newRow("EAN-13") << BarcodeImage::encode(BarcodeFormat::EAN13, L"5901234123457", 380,
                                                        160)
                                << QStringList{u"5901234123457"_s};
        QTest::newRow("Code 128") << BarcodeImage::encode(BarcodeFormat::Code128, L"QUILL-128", 400,
                                                          120)
                                  << QStringList{u"QUILL-128"_s};
        QTest::newRow("Code 128 turned a quarter")
            << BarcodeImage::encode(BarcodeFormat::Code128, L"QUILL-128", 400, 120)
                   .transformed(QTransform().rotate(90))
            << QStringList{u"QUILL-128"_s};
        QTest::newRow("non-ASCII text") << BarcodeImage::encode(BarcodeFormat::QRCode, L"Grüße ✓",
                                                                240, 240, ZXing::CharacterSet::UTF8)
                                        << QStringList{u"Grüße ✓"_s};

        QImage inverted = hello;
        inverted.invertPixels();
        QTest::newRow("light on dark") << inverted << QStringList{u"hello"_s};

        // Cropped without a quiet zone: light on dark, and in colour, the
        // padding must take the code's own background.
        const QImage matrix =
            tight(BarcodeImage::encode(BarcodeFormat::DataMatrix, L"payload", 120, 120));
        QImage matrixInverted = matrix;
        matrixInverted.invertPixels();
        const QImage matrixColoured = matrix.convertToFormat(
            QImage::Format_Indexed8, {qRgb(0x10, 0x10, 0x30), qRgb(0x80, 0x90, 0xa0)});
        QTest::newRow("Data Matrix, tight") << matrix << QStringList{u"payload"_s};
        QTest::newRow("Data Matrix light on dark, tight")
            << matrixInverted << QStringList{u"payload"_s};
        QTest::newRow("Data Matrix in colour, tight")
            << matrixColoured << QStringList{u"payload"_s};
        QTest::newRow("QR, tight") << tight(hello) << QStringList{u"hello"_s};

        // Modules drawn on a transparent background: the hidden colour is
        // black, so only flattening onto white keeps the code readable.
        QImage alpha = hello.convertToFormat(QImage::Format_Grayscale8);
        alpha.invertPixels();
        QImage transparent(hello.size(), QImage::Format_ARGB32);
        transparent.fill(Qt::black);
        transparent.setAlphaChannel(alpha);
        QTest::newRow("transparent background") << transparent << QStringList{u"hello"_s};

        QTest::newRow("binary payload")
            << BarcodeImage::encode(BarcodeFormat::QRCode,
                                    std::wstring{L'\x01', L'\x02', L'\xfe', L'\x03'}, 240, 240,
                                    ZXing::CharacterSet::BINARY)
            << QStringList{u"∅"_s};

        QTest::newRow("no code") << BarcodeImage::whiteCanvas(300, 200) << QStringList{};
        QImage noise(300, 200, QImage::Format_Grayscale8);
        for (int i = 0; i < 300 * 200; ++i) {
            noise.scanLine(i / 300)[i % 300] = uchar((i % 300 * 7 + i / 300 * 13) % 256);
        }
        QTest::newRow("gradient, no code") << noise << QStringList{};
    }

    void detect()
    {
        QFETCH(QImage, image);
        QFETCH(QStringList, expected);
        QCOMPARE(payloads(image), expected);
    }

    void refusesNullImage()
    {
        const auto found = BarcodeDetector::detect(QImage());
        QVERIFY(!found);
        QCOMPARE(found.error(), BarcodeDetector::Error::invalidImage);
    }
};

QTEST_GUILESS_MAIN(TestBarcodeDetector)
#include "tst_barcodedetector.moc"
