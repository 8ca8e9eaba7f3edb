#pragma once

#include <ZXing/BarcodeFormat.h>
#include <ZXing/BitMatrix.h>
#include <ZXing/CharacterSet.h>
#include <ZXing/MultiFormatWriter.h>

#include <QImage>
#include <QList>

#include <cstring>
#include <string>

// Test images of real codes, drawn from ZXing's own encoder: black modules
// on white with a quiet zone around them.
namespace BarcodeImage {

inline QImage whiteCanvas(int width, int height)
{
    QImage canvas(width, height, QImage::Format_Grayscale8);
    canvas.fill(255);
    return canvas;
}

inline void paste(QImage& canvas, const QImage& part, int left, int top)
{
    for (int y = 0; y < part.height(); ++y) {
        std::memcpy(canvas.scanLine(top + y) + left, part.constScanLine(y), size_t(part.width()));
    }
}

inline QImage encode(ZXing::BarcodeFormat format, const std::wstring& content, int width,
                     int height, ZXing::CharacterSet encoding = ZXing::CharacterSet::Unknown)
{
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(format).setEncoding(encoding).encode(content, width, height);
    const int quiet = 24;
    QImage image = whiteCanvas(matrix.width() + 2 * quiet, matrix.height() + 2 * quiet);
    for (int y = 0; y < matrix.height(); ++y) {
        uchar* row = image.scanLine(quiet + y) + quiet;
        for (int x = 0; x < matrix.width(); ++x) {
            row[x] = matrix.get(x, y) ? 0 : 255;
        }
    }
    return image;
}

inline QImage qr(const std::wstring& content, int size = 240)
{
    return encode(ZXing::BarcodeFormat::QRCode, content, size, size);
}

// The parts side by side, left to right, on one white canvas.
inline QImage row(const QList<QImage>& parts, int gap = 40)
{
    int width = gap;
    int height = 0;
    for (const QImage& part : parts) {
        width += part.width() + gap;
        height = std::max(height, part.height());
    }
    QImage canvas = whiteCanvas(width, height + 2 * gap);
    int left = gap;
    for (const QImage& part : parts) {
        paste(canvas, part.convertToFormat(QImage::Format_Grayscale8), left, gap);
        left += part.width() + gap;
    }
    return canvas;
}

} // namespace BarcodeImage
