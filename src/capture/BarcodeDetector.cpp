#define ZX_USE_UTF8 1

#include "capture/BarcodeDetector.h"

#include <ZXing/ReadBarcode.h>

#include <exception>
#include <vector>

namespace {

// Luminance of the image flattened onto white, so that transparent areas
// read as background rather than as black modules.
std::vector<uint8_t> luminance(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    std::vector<uint8_t> lum(size_t(argb.width()) * size_t(argb.height()));
    uint8_t* out = lum.data();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = row[x];
            const unsigned a = unsigned(qAlpha(p));
            const auto flat = [a](unsigned c) { return (c * a + 255 * (255 - a)) / 255; };
            *out++ = ZXing::RGBToLum(flat(unsigned(qRed(p))), flat(unsigned(qGreen(p))),
                                     flat(unsigned(qBlue(p))));
        }
    }
    return lum;
}

ZXing::Results read(const std::vector<uint8_t>& lum, int width, int height)
{
    const ZXing::ImageView view(lum.data(), width, height, ZXing::ImageFormat::Lum);
    const auto hints = ZXing::DecodeHints()
                           .setFormats(ZXing::BarcodeFormat::Any)
                           .setTryHarder(true)
                           .setTryRotate(true);
    return ZXing::ReadBarcodes(view, hints);
}

} // namespace

Expected<QList<std::optional<QString>>, BarcodeDetector::Error>
BarcodeDetector::detect(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        return unexpected(Error::invalidImage);
    }
    try {
        std::vector<uint8_t> lum = luminance(image);
        ZXing::Results results = read(lum, image.width(), image.height());
        if (results.empty()) {
            // ZXing 1.4 has no inverted-image mode; dark-mode screens show
            // codes light on dark, so look once more at the negative.
            for (uint8_t& v : lum) {
                v = uint8_t(255 - v);
            }
            results = read(lum, image.width(), image.height());
        }
        QList<std::optional<QString>> payloads;
        for (const ZXing::Result& result : results) {
            if (!result.isValid()) {
                continue;
            }
            const std::string text = result.text();
            if (result.contentType() == ZXing::ContentType::Binary || text.empty()) {
                payloads.append(std::nullopt);
            } else {
                payloads.append(QString::fromStdString(text));
            }
        }
        return payloads;
    } catch (const std::exception&) {
        // Out of memory or a decoder fault: the scan failed, the caller says so.
        return unexpected(Error::detectionFailed);
    }
}
