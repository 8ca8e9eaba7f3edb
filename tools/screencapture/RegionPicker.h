#pragma once

#include "capture/ScreenGrabber.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class PickerOverlay;

// The interactive picker: shows the frozen screens, follows one drag and
// writes the chosen region. Emits finished() once with the exit status.
class RegionPicker : public QObject
{
    Q_OBJECT

public:
    RegionPicker(ScreenGrabber& grabber, QList<ScreenImage> screens, QString path,
                 QObject* parent = nullptr);
    ~RegionPicker() override;

    void show();

    // Called by the overlays.
    void overlayShown(int index);
    void pointerPressed(int index, QPointF global, Qt::MouseButton button);
    void pointerMoved(QPointF global);
    void pointerReleased(QPointF global, Qt::MouseButton button);
    void cancel();

signals:
    void finished(int exitStatus);

private:
    int screenAt(QPointF global, int fallback) const;
    QPointF localTo(int index, QPointF global) const;
    void grabInput();
    void pickWindow();
    void finish(const QRect& region);
    void done(int status);
    void reportReady();

    ScreenGrabber& m_grabber;
    QList<ScreenImage> m_screens;
    QString m_path;
    std::vector<std::unique_ptr<PickerOverlay>> m_overlays;

    int m_shownCount = 0;
    int m_grabAttempts = 0;
    bool m_finished = false;

    // The drag in progress: the screen it started on (-1 for none), the
    // press point in logical coordinates local to that screen, and whether it
    // has moved far enough to be a drag rather than a click.
    int m_dragScreen = -1;
    QPointF m_pressLocal;
    bool m_moved = false;
    QRect m_selection;
};
