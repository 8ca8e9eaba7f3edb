#include <QTest>
class TestTesseractRecognizer : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(TestTesseractRecognizer)
#include "tst_tesseractrecognizer.moc"
