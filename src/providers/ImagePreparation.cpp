#include "providers/ImagePreparation.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

namespace ImagePreparation {

QImage scaledToFit(const QImage& image, int limit)
{
    const int longer = std::max(image.width(), image.height());
    if (image.isNull() || longer <= limit) {
        return image;
    }
    const double factor = double(limit) / longer;
    const QSize size(std::max(1, qRound(image.width() * factor)),
                     std::max(1, qRound(image.height() * factor)));
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<QByteArray> jpeg(const QImage& image, int limit, int quality)
{
    QImage prepared = limit > 0 ? scaledToFit(image, limit) : image;
    if (prepared.isNull()) {
        return std::nullopt;
    }
    if (prepared.hasAlphaChannel()) {
        // The encoder would drop the alpha and keep whatever colour hides
        // under it, often black: dark text on a clear background would vanish.
        QImage flat(prepared.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, prepared);
        painter.end();
        prepared = flat;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(prepared) || bytes.isEmpty()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace ImagePreparation
