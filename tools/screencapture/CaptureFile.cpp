#include "CaptureFile.h"

#include "capture/ScreenGrabber.h"
#include "common/AtomicFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

namespace CaptureFile {

Expected<void, QString> checkDestination(const QString& path)
{
    const QFileInfo info(path);
    if (info.fileName().isEmpty() || info.isDir()) {
        return unexpected(
            QCoreApplication::translate("CaptureFile", "%1 is not a file path").arg(path));
    }
    if (!info.absoluteDir().exists()) {
        return unexpected(QCoreApplication::translate("CaptureFile", "directory %1 does not exist")
                              .arg(info.absoluteDir().path()));
    }
    return {};
}

Expected<void, QString> write(const QImage& image, const QString& path)
{
    if (image.isNull()) {
        return unexpected(QCoreApplication::translate("CaptureFile", "nothing was captured"));
    }
    if (Expected<void, QString> ok = checkDestination(path); !ok) {
        return ok;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // Light compression: the file lives only until it has been read once.
    writer.setQuality(70);
    if (!writer.write(image)) {
        return unexpected(QCoreApplication::translate("CaptureFile", "cannot encode the image: %1")
                              .arg(writer.errorString()));
    }
    if (const auto written = AtomicFile::writePrivate(path, png); !written) {
        return unexpected(QCoreApplication::translate("CaptureFile", "cannot write %1: %2")
                              .arg(path, written.error()));
    }
    return {};
}

QImage composeDesktop(const QList<ScreenImage>& screens)
{
    if (screens.size() == 1) {
        return screens.first().image;
    }
    QRect bounds;
    for (const ScreenImage& shot : screens) {
        bounds |= shot.nativeGeometry;
    }
    QImage desktop(bounds.size(), QImage::Format_RGB32);
    desktop.fill(Qt::black);
    QPainter painter(&desktop);
    for (const ScreenImage& shot : screens) {
        painter.drawImage(shot.nativeGeometry.topLeft() - bounds.topLeft(), shot.image);
    }
    return desktop;
}

} // namespace CaptureFile
