#include "views/PageIndicator.h"

#include "views/ViewStyle.h"

#include <QPainter>

PageIndicator::PageIndicator(int count, QWidget* parent)
    : QWidget(parent), m_count(std::max(0, count))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateAccessibleName();
}

void PageIndicator::updateAccessibleName()
{
    setAccessibleName(tr("Page %1 of %2").arg(m_current + 1).arg(m_count));
}

void PageIndicator::setCurrent(int index)
{
    if (index == m_current) {
        return;
    }
    m_current = index;
    updateAccessibleName();
    update();
}

QSize PageIndicator::sizeHint() const
{
    const int width = m_count > 0 ? m_count * kDotSize + (m_count - 1) * kDotSpacing : 0;
    return QSize(width, kDotSize);
}

void PageIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QColor accent = ViewStyle::accent(palette());
    const QColor inactive = ViewStyle::indicatorInactive();
    const int top = (height() - kDotSize) / 2;
    const int left = (width() - sizeHint().width()) / 2;
    for (int i = 0; i < m_count; ++i) {
        p.setBrush(i == m_current ? accent : inactive);
        p.drawEllipse(QRect(left + i * (kDotSize + kDotSpacing), top, kDotSize, kDotSize));
    }
}
