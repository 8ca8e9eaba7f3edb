#include "capture/OCRCacheService.h"

#include "CaseTable.h"

#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QImage solid(int index, QSize size = QSize(8, 8))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(qRgb(index % 256, (index / 256) % 256, 7));
    return image;
}

QImage pattern(QImage::Format format)
{
    QImage image(13, 5, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int v = (x * 19 + y * 37) % 256;
            image.setPixel(x, y, qRgb(v, v, v)); // grey, so that Grayscale8 is exact
        }
    }
    return image.convertToFormat(format);
}

} // namespace

class TestOCRCacheService : public QObject
{
    Q_OBJECT

private slots:
    // Columns: the entry's age in milliseconds, whether it still answers.
    void expiry_data() { rows({u"0→hit", u"3600000→hit", u"3600001→miss"}); }

    void expiry()
    {
        const QStringList f = fields();
        const bool hit = f[1] == u"hit";
        ManualClock clock;
        OCRCacheService cache(clock);
        cache.storeText(u"invoice 42"_s, solid(1));
        clock.advance(f[0].toLongLong());
        const std::optional<QString> text = cache.cachedText(solid(1));
        QCOMPARE(text.has_value(), hit);
        if (hit) {
            QCOMPARE(*text, u"invoice 42"_s);
        }
        // A miss through age removes the entry right away.
        QCOMPARE(cache.count(), hit ? 1 : 0);
        QCOMPARE(cache.totalCost(), hit ? qint64(10) : qint64(0));
    }

    void replacingRestartsTheHour()
    {
        ManualClock clock;
        OCRCacheService cache(clock);
        cache.storeText(u"first"_s, solid(1));
        clock.advance(3'000'000);
        cache.storeText(u"second"_s, solid(1));
        clock.advance(3'000'000);
        QCOMPARE(cache.cachedText(solid(1)), std::optional<QString>(u"second"_s));
        QCOMPARE(cache.count(), 1);
        QCOMPARE(cache.totalCost(), qint64(6));
    }

    void countLimitEvictsLeastRecentlyUsed()
    {
        ManualClock clock;
        OCRCacheService cache(clock);
        for (int i = 0; i < 50; ++i) {
            cache.storeText(QString::number(i), solid(i));
        }
        QVERIFY(cache.cachedText(solid(0))); // touched: now the most recent
        cache.storeText(u"50"_s, solid(50));
        QCOMPARE(cache.count(), OCRCacheService::countLimit);
        QVERIFY(cache.cachedText(solid(0)));
        QVERIFY(!cache.cachedText(solid(1)));
        QCOMPARE(cache.cachedText(solid(50)), std::optional<QString>(u"50"_s));
    }

    void costLimitCountsUtf8Bytes()
    {
        ManualClock clock;
        OCRCacheService cache(clock);
        cache.storeText(u"é€"_s, solid(1)); // 2 + 3 bytes
        QCOMPARE(cache.totalCost(), qint64(5));
        const QString threeMiB(3 * 1024 * 1024, QLatin1Char('x'));
        for (int i = 2; i <= 5; ++i) {
            cache.storeText(threeMiB, solid(i));
            QVERIFY(cache.totalCost() <= OCRCacheService::totalCostLimit);
        }
        QCOMPARE(cache.count(), 3);
        QVERIFY(!cache.cachedText(solid(1)));
        QVERIFY(!cache.cachedText(solid(2)));
        // A text over the whole budget is not kept; the others survive, and
        // the replaced entry does not answer with stale text.
        cache.storeText(QString(int(OCRCacheService::totalCostLimit) + 1, u'x'), solid(5));
        QVERIFY(!cache.cachedText(solid(5)));
        QCOMPARE(cache.cachedText(solid(4)), std::optional(threeMiB));
        QCOMPARE(cache.count(), 2);
    }

    void keyIgnoresStorageLayout_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("RGB32") << pattern(QImage::Format_RGB32);
        QTest::newRow("RGB888 (padded rows)") << pattern(QImage::Format_RGB888);
        QTest::newRow("Grayscale8 (padded rows)") << pattern(QImage::Format_Grayscale8);
        QTest::newRow("ARGB32 premultiplied") << pattern(QImage::Format_ARGB32_Premultiplied);

        // The same pixels with 12 extra bytes at the end of every row; and as
        // RGB32 with its unused alpha bytes zero, as a screen grab may leave them.
        const QImage reference = pattern(QImage::Format_ARGB32);
        const int w = reference.width(), h = reference.height(), stride = w + 3;
        static std::vector<quint32> wide(size_t(stride * h), 0xABABABABu), grab(size_t(w * h));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                wide[size_t(y * stride + x)] = reference.pixel(x, y);
                grab[size_t(y * w + x)] = reference.pixel(x, y) & 0x00ffffffu;
            }
        }
        QTest::newRow("ARGB32, wide stride") << QImage(reinterpret_cast<uchar*>(wide.data()), w, h,
                                                       stride * 4, QImage::Format_ARGB32);
        QTest::newRow("RGB32, alpha bytes zero")
            << QImage(reinterpret_cast<uchar*>(grab.data()), w, h, QImage::Format_RGB32);
    }

    void keyIgnoresStorageLayout()
    {
        QFETCH(QImage, image);
        const std::optional<QString> expected =
            OCRCacheService::cacheKey(pattern(QImage::Format_ARGB32));
        QVERIFY(expected);
        QVERIFY(QRegularExpression(u"^[0-9a-f]{64}$"_s).match(*expected).hasMatch());
        QCOMPARE(OCRCacheService::cacheKey(image), expected);
    }

    void keyTellsImagesApart()
    {
        QImage changed = pattern(QImage::Format_ARGB32);
        changed.setPixel(12, 4, qRgb(1, 2, 3));
        QVERIFY(OCRCacheService::cacheKey(changed) !=
                OCRCacheService::cacheKey(pattern(QImage::Format_ARGB32)));
        // Same bytes, other dimensions.
        QVERIFY(OCRCacheService::cacheKey(solid(3, QSize(2, 8))) !=
                OCRCacheService::cacheKey(solid(3, QSize(4, 4))));
        // A null image has no key and is never cached.
        QVERIFY(!OCRCacheService::cacheKey(QImage()));
        ManualClock clock;
        OCRCacheService cache(clock);
        cache.storeText(u"text"_s, QImage());
        QCOMPARE(cache.count(), 0);
    }

    void concurrentUse()
    {
        ManualClock clock;
        OCRCacheService cache(clock);
        std::atomic<int> wrongAnswers{0};
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([&cache, &wrongAnswers, t] {
                for (int i = 0; i < 400; ++i) {
                    const int index = (i * 7 + t) % 80; // overlapping keys across threads
                    cache.storeText(QString::number(index), solid(index));
                    const std::optional<QString> text = cache.cachedText(solid((index + 3) % 80));
                    if (text && *text != QString::number((index + 3) % 80)) {
                        ++wrongAnswers;
                    }
                }
            }));
            threads.back()->start();
        }
        for (auto& thread : threads) {
            QVERIFY(thread->wait(60'000));
        }
        QCOMPARE(wrongAnswers.load(), 0);
        QVERIFY(cache.count() <= OCRCacheService::countLimit);
        QVERIFY(cache.count() > 0);
    }
};

QTEST_GUILESS_MAIN(TestOCRCacheService)
#include "tst_ocrcacheservice.moc"
