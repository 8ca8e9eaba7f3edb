#include "capture/BarcodeDetector.h"

#include "BarcodeImage.h"

#include <QTest>
#include <QTransform>

using ZXing::BarcodeFormat;

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
        QTest::newRow("one QR") << hello << QStringList{QStringLiteral("hello")};
        QTest::newRow("two codes, left to right")
            << BarcodeImage::row({BarcodeImage::qr(L"left"), BarcodeImage::qr(L"right")})
            << QStringList{QStringLiteral("left"), QStringLiteral("right")};
        QTest::newRow("two identical codes kept twice")
            << BarcodeImage::row({hello, hello})
            << QStringList{QStringLiteral("hello"), QStringLiteral("hello")};
        QTest::newRow("EAN-13") << BarcodeImage::encode(BarcodeFormat::EAN13, L"5901234123457", 380,
                                                        160)
                                << QStringList{QStringLiteral("5901234123457")};
        QTest::newRow("Code 128") << BarcodeImage::encode(BarcodeFormat::Code128, L"QUILL-128", 400,
                                                          120)
                                  << QStringList{QStringLiteral("QUILL-128")};
        QTest::newRow("Code 128 turned a quarter")
            << BarcodeImage::encode(BarcodeFormat::Code128, L"QUILL-128", 400, 120)
                   .transformed(QTransform().rotate(90))
            << QStringList{QStringLiteral("QUILL-128")};
        QTest::newRow("non-ASCII text") << BarcodeImage::encode(BarcodeFormat::QRCode, L"Grüße ✓",
                                                                240, 240, ZXing::CharacterSet::UTF8)
                                        << QStringList{QStringLiteral("Grüße ✓")};

        QImage inverted = hello;
        inverted.invertPixels();
        QTest::newRow("light on dark") << inverted << QStringList{QStringLiteral("hello")};

        // Cropped without a quiet zone: light on dark, and in colour, the
        // padding must take the code's own background.
        const QImage matrix =
            tight(BarcodeImage::encode(BarcodeFormat::DataMatrix, L"payload", 120, 120));
        QImage matrixInverted = matrix;
        matrixInverted.invertPixels();
        const QImage matrixColoured = matrix.convertToFormat(
            QImage::Format_Indexed8, {qRgb(0x10, 0x10, 0x30), qRgb(0x80, 0x90, 0xa0)});
        QTest::newRow("Data Matrix, tight") << matrix << QStringList{QStringLiteral("payload")};
        QTest::newRow("Data Matrix light on dark, tight")
            << matrixInverted << QStringList{QStringLiteral("payload")};
        QTest::newRow("Data Matrix in colour, tight")
            << matrixColoured << QStringList{QStringLiteral("payload")};
        QTest::newRow("QR, tight") << tight(hello) << QStringList{QStringLiteral("hello")};

        // Modules drawn on a transparent background: the hidden colour is
        // black, so only flattening onto white keeps the code readable.
        QImage transparent(hello.size(), QImage::Format_ARGB32);
        for (int y = 0; y < hello.height(); ++y) {
            for (int x = 0; x < hello.width(); ++x) {
                transparent.setPixel(
                    x, y, qGray(hello.pixel(x, y)) ? qRgba(0, 0, 0, 0) : qRgba(0, 0, 0, 255));
            }
        }
        QTest::newRow("transparent background")
            << transparent << QStringList{QStringLiteral("hello")};

        QTest::newRow("binary payload")
            << BarcodeImage::encode(BarcodeFormat::QRCode,
                                    std::wstring{L'\x01', L'\x02', L'\xfe', L'\x03'}, 240, 240,
                                    ZXing::CharacterSet::BINARY)
            << QStringList{QStringLiteral("∅")};

        QImage blank = BarcodeImage::whiteCanvas(300, 200);
        QTest::newRow("no code") << blank << QStringList{};
        QImage noise(300, 200, QImage::Format_Grayscale8);
        for (int y = 0; y < noise.height(); ++y) {
            for (int x = 0; x < noise.width(); ++x) {
                noise.scanLine(y)[x] = uchar((x * 7 + y * 13) % 256);
            }
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
