// The least a Qt program must do to put a window on screen: connect to the
// display, create one window and paint it once. run.sh compares the picker's
// start-up against it. Writes the monotonic time of its first frame to
// QUILLSNAP_PICKER_READY_FILE, like the picker, and quits.

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTimer>

#include <chrono>

namespace {

class BaselineWindow : public QRasterWindow
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(QRect(QPoint(0, 0), size()), Qt::darkGray);
        if (!m_painted) {
            m_painted = true;
            QTimer::singleShot(0, this, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                QFile out(qEnvironmentVariable("QUILLSNAP_PICKER_READY_FILE"));
                if (out.open(QIODevice::WriteOnly)) {
                    out.write(QByteArray::number(qint64(std::chrono::nanoseconds(now).count())));
                }
                QCoreApplication::quit();
            });
        }
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    BaselineWindow window;
    window.setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setGeometry(QGuiApplication::primaryScreen()->geometry());
    window.show();
    return app.exec();
}
