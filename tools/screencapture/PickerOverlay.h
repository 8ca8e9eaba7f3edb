#pragma once

#include <QImage>
#include <QRasterWindow>

class RegionPicker;

// One frameless window covering one screen, showing that screen as it was
// when the picker started. It paints and forwards input; the picker decides.
class PickerOverlay : public QRasterWindow
{
    Q_OBJECT

public:
    PickerOverlay(RegionPicker* picker, int index, QScreen* screen, const QRect& geometry,
                  const QImage& frozen);

    // Selection in device pixels of this screen's image; empty for none.
    void setSelection(const QRect& selection);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintSizeLabel(QPainter& painter, const QRectF& selection);

    RegionPicker* m_picker;
    int m_index;
    QImage m_frozen;
    QRect m_selection;
    bool m_painted = false;
};
