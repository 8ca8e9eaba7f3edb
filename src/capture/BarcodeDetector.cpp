#define ZX_USE_UTF8 1

#include "capture/BarcodeDetector.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <array>
#include <cmath>
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

// The grey level of what a code is printed on: the mean of the lighter of
// the two classes an Otsu split of the histogram gives (the light modules and
// the margin around them).
uint8_t backgroundLevel(const std::vector<uint8_t>& lum)
{
    std::array<double, 256> histogram{};
    for (const uint8_t v : lum) {
        ++histogram[v];
    }
    double total = 0;
    double weighted = 0;
    for (int v = 0; v < 256; ++v) {
        total += histogram[v];
        weighted += v * histogram[v];
    }
    double below = 0;
    double belowWeighted = 0;
    double bestSpread = -1;
    double lightMean = 255;
    for (int t = 0; t < 255; ++t) {
        below += histogram[t];
        belowWeighted += t * histogram[t];
        const double above = total - below;
        if (below == 0 || above == 0) {
            continue;
        }
        const double darkMean = belowWeighted / below;
        const double aboveMean = (weighted - belowWeighted) / above;
        const double spread = below * above * (aboveMean - darkMean) * (aboveMean - darkMean);
        if (spread > bestSpread) {
            bestSpread = spread;
            lightMean = aboveMean;
        }
    }
    return uint8_t(std::lround(lightMean));
}

// The image inside a margin of the given level: a code cropped to its
// outermost modules has no quiet zone, which some detectors (Data Matrix's
// above all) need to find it.
std::vector<uint8_t> padded(const std::vector<uint8_t>& lum, int width, int height, int margin,
                            uint8_t level)
{
    const int paddedWidth = width + 2 * margin;
    std::vector<uint8_t> out(size_t(paddedWidth) * size_t(height + 2 * margin), level);
    for (int y = 0; y < height; ++y) {
        std::copy_n(lum.begin() + qsizetype(y) * width, width,
                    out.begin() + qsizetype(y + margin) * paddedWidth + margin);
    }
    return out;
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
        const int width = image.width();
        const int height = image.height();
        std::vector<uint8_t> lum = luminance(image);
        std::vector<uint8_t> negative(lum.size());
        std::transform(lum.begin(), lum.end(), negative.begin(),
                       [](uint8_t v) { return uint8_t(255 - v); });
        // ZXing 1.4 has no inverted-image mode; dark-mode screens show codes
        // light on dark, so the negative is read as well. Codes dragged out
        // tightly are read once more inside a quiet zone of their own
        // background.
        ZXing::Results results = read(lum, width, height);
        if (results.empty()) {
            results = read(negative, width, height);
        }
        const int margin = std::max(16, std::max(width, height) / 8);
        for (const std::vector<uint8_t>* grey : {&lum, &negative}) {
            if (!results.empty()) {
                break;
            }
            results = read(padded(*grey, width, height, margin, backgroundLevel(*grey)),
                           width + 2 * margin, height + 2 * margin);
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
