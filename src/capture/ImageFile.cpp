#include "capture/ImageFile.h"

#include "common/RegularFile.h"

#include <QCoreApplication>
#include <QImageReader>

namespace ImageFile {

namespace {

// Qt refuses to decode an image whose pixels would take more than its
// allocation limit (128 MB by default), which would turn away some images
// within maxPixels. Sixteen bytes hold a pixel of the widest format a
// reader produces (four 32-bit floats), so with this limit the pixel count
// alone decides.
constexpr int allocationLimitMB = int((maxPixels * 16 + (1 << 20) - 1) >> 20);

Error fromFileError(RegularFile::Error error)
{
    switch (error) {
    case RegularFile::Error::missing:
        return Error::missing;
    case RegularFile::Error::permissionDenied:
        return Error::permissionDenied;
    case RegularFile::Error::notRegular:
        return Error::notRegularFile;
    case RegularFile::Error::tooLarge:
        return Error::tooLarge;
    case RegularFile::Error::unreadable:
        break;
    }
    return Error::unreadable;
}

bool withinLimits(QSize size)
{
    return size.width() > 0 && size.height() > 0 && size.width() <= maxSide &&
           size.height() <= maxSide && qint64(size.width()) * size.height() <= maxPixels;
}

} // namespace

Expected<QImage, Error> read(const QByteArray& nativePath)
{
    auto file = RegularFile::open(nativePath);
    if (!file) {
        return unexpected(fromFileError(file.error()));
    }
    QImageReader::setAllocationLimit(allocationLimitMB);
    // The content decides the format, whatever the file is called.
    QImageReader reader(file->get());
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    // Refuse absurd sizes from the header, before any pixel is allocated.
    const QSize declared = reader.size();
    if (declared.isValid() && !declared.isEmpty() && !withinLimits(declared)) {
        return unexpected(Error::tooLarge);
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return unexpected(reader.error() == QImageReader::UnsupportedFormatError ? Error::notAnImage
                                                                                 : Error::damaged);
    }
    if (!withinLimits(image.size())) {
        return unexpected(Error::tooLarge);
    }
    return image;
}

Expected<QImage, Error> read(const QString& path)
{
    return read(QFile::encodeName(path));
}

QString describe(Error error)
{
    switch (error) {
    case Error::missing:
        return QCoreApplication::translate("ImageFile", "no such file");
    case Error::permissionDenied:
        return QCoreApplication::translate("ImageFile", "permission denied");
    case Error::notRegularFile:
        return QCoreApplication::translate("ImageFile", "not a regular file");
    case Error::unreadable:
        return QCoreApplication::translate("ImageFile", "read error");
    case Error::notAnImage:
        return QCoreApplication::translate("ImageFile", "not an image");
    case Error::damaged:
        return QCoreApplication::translate("ImageFile", "damaged image");
    case Error::tooLarge:
        break;
    }
    return QCoreApplication::translate("ImageFile",
                                       "image too large (the limit is %1 megapixels and %2 "
                                       "pixels a side)")
        .arg(maxPixels / 1'000'000)
        .arg(maxSide);
}

} // namespace ImageFile
