#include "RegionPicker.h"

#include "CaptureFile.h"
#include "PickerOverlay.h"
#include "SelectionGeometry.h"

#include <QCursor>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

// The keyboard may still be grabbed by whoever started us (a global shortcut
// whose keys are still down): keep trying for about a second.
constexpr int maxGrabAttempts = 40;
constexpr int grabRetryMs = 25;

} // namespace

RegionPicker::RegionPicker(ScreenGrabber& grabber, QList<ScreenImage> screens, QString path,
                           QObject* parent)
    : QObject(parent), m_grabber(grabber), m_screens(std::move(screens)), m_path(std::move(path))
{
}

RegionPicker::~RegionPicker() = default;

void RegionPicker::show()
{
    // All windows exist before any is shown, so they appear together.
    for (int i = 0; i < m_screens.size(); ++i) {
        const ScreenImage& shot = m_screens.at(i);
        m_overlays.push_back(
            std::make_unique<PickerOverlay>(this, i, shot.screen, shot.geometry, shot.image));
    }
    // A Wayland client cannot place its windows: each overlay is given its
    // output and asks to be full screen there.
    const bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    for (const auto& overlay : m_overlays) {
        if (wayland) {
            overlay->showFullScreen();
        } else {
            overlay->show();
        }
        overlay->raise();
    }
}

void RegionPicker::overlayShown(int)
{
    if (++m_shownCount != int(m_overlays.size())) {
        return;
    }
    grabInput();
    reportReady();
    // Load the font now, while the user aims, rather than on the first frame
    // of the drag.
    QTimer::singleShot(0, this, [] { QFontMetrics(QGuiApplication::font()).height(); });
}

void RegionPicker::grabInput()
{
    if (m_finished || m_overlays.empty()) {
        return;
    }
    const int index = screenAt(QCursor::pos(), 0);
    PickerOverlay* overlay = m_overlays.at(index).get();
    overlay->requestActivate();
    // Wayland has no grabs: the compositor gives the focused overlay the keys.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        return;
    }
    const bool keyboard = overlay->setKeyboardGrabEnabled(true);
    const bool mouse = overlay->setMouseGrabEnabled(true);
    if ((!keyboard || !mouse) && ++m_grabAttempts < maxGrabAttempts) {
        QTimer::singleShot(grabRetryMs, this, &RegionPicker::grabInput);
    }
}

// For the start-up benchmark and the tests: when QUILLSNAP_PICKER_READY_FILE
// names a file, the moment the overlay is up is written there as nanoseconds of
// the monotonic clock, followed by the processor time used so far.
void RegionPicker::reportReady()
{
    const QString file = qEnvironmentVariable("QUILLSNAP_PICKER_READY_FILE");
    if (file.isEmpty()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const qint64 cpuNs = qint64(double(std::clock()) * 1e9 / CLOCKS_PER_SEC);
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        out.write(QByteArray::number(qint64(std::chrono::nanoseconds(now).count())) + ' ' +
                  QByteArray::number(cpuNs) + '\n');
    }
}

int RegionPicker::screenAt(QPointF global, int fallback) const
{
    for (int i = 0; i < m_screens.size(); ++i) {
        if (QRectF(m_screens.at(i).geometry).contains(global)) {
            return i;
        }
    }
    return fallback;
}

QPointF RegionPicker::localTo(int index, QPointF global) const
{
    return global - QPointF(m_screens.at(index).geometry.topLeft());
}

void RegionPicker::pointerPressed(int index, QPointF global, Qt::MouseButton button)
{
    if (m_finished) {
        return;
    }
    if (button == Qt::RightButton) {
        cancel();
        return;
    }
    if (button != Qt::LeftButton) {
        return;
    }
    m_dragScreen = screenAt(global, index);
    m_pressLocal = localTo(m_dragScreen, global);
    m_moved = false;
    m_selection = QRect();
}

void RegionPicker::pointerMoved(QPointF global)
{
    if (m_finished || m_dragScreen < 0) {
        return;
    }
    // A drag stays on the screen where it started; the far corner is
    // clamped to that screen's edges.
    const QPointF local = localTo(m_dragScreen, global);
    if (!m_moved && !SelectionGeometry::isDrag(m_pressLocal, local)) {
        return;
    }
    m_moved = true;
    const ScreenImage& shot = m_screens.at(m_dragScreen);
    const qreal dpr = qreal(shot.image.width()) / shot.geometry.width();
    m_selection =
        SelectionGeometry::between(SelectionGeometry::toDevice(m_pressLocal, dpr),
                                   SelectionGeometry::toDevice(local, dpr), shot.image.size());
    m_overlays.at(m_dragScreen)->setSelection(m_selection);
}

void RegionPicker::pointerReleased(QPointF global, Qt::MouseButton button)
{
    if (m_finished || button != Qt::LeftButton || m_dragScreen < 0) {
        return;
    }
    pointerMoved(global);
    if (!m_moved) {
        pickWindow();
        return;
    }
    if (m_selection.isEmpty()) {
        // A drag along one axis selects nothing; let the user try again.
        m_overlays.at(m_dragScreen)->setSelection(QRect());
        m_dragScreen = -1;
        return;
    }
    finish(m_selection);
}

void RegionPicker::pickWindow()
{
    const ScreenImage& shot = m_screens.at(m_dragScreen);
    const qreal dpr = qreal(shot.image.width()) / shot.geometry.width();
    const QPoint nativePos =
        shot.nativeGeometry.topLeft() + SelectionGeometry::toDevice(m_pressLocal, dpr);
    QList<WId> ours;
    for (const auto& overlay : m_overlays) {
        ours.append(overlay->winId());
    }
    QRect region = shot.image.rect();
    if (const std::optional<QRect> window = m_grabber.windowAt(nativePos, ours)) {
        // Only the part on this screen; nothing of it there means the screen.
        const QRect onScreen =
            window->translated(-shot.nativeGeometry.topLeft()) & shot.image.rect();
        if (!onScreen.isEmpty()) {
            region = onScreen;
        }
    }
    finish(region);
}

void RegionPicker::finish(const QRect& region)
{
    const QImage image = m_screens.at(m_dragScreen).image.copy(region);
    // Away with the overlay before the encoding, which takes a moment.
    for (const auto& overlay : m_overlays) {
        overlay->hide();
    }
    const Expected<void, QString> written = CaptureFile::write(image, m_path);
    if (!written) {
        std::fprintf(stderr, "quillsnap-screencapture: %s\n", qPrintable(written.error()));
        done(1);
        return;
    }
    done(0);
}

void RegionPicker::cancel()
{
    done(1);
}

void RegionPicker::done(int status)
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    emit finished(status);
}
