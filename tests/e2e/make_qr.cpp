// Writes a PNG of a QR code holding the given text, for the end-to-end scan.
//   make_qr TEXT FILE
#include "BarcodeImage.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    if (argc != 3) {
        return 2;
    }
    const QString text = QString::fromUtf8(argv[1]);
    return BarcodeImage::qr(text.toStdWString(), 240).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
