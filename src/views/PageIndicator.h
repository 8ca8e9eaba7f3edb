#pragma once

#include <QWidget>

// One dot per page, 8 px across and 8 px apart; the current page's dot is in
// the accent colour, the others a faint gray. Read out as "Page 2 of 3".
class PageIndicator : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDotSize = 8;
    static constexpr int kDotSpacing = 8;

    explicit PageIndicator(int count, QWidget* parent = nullptr);

    int count() const { return m_count; }
    int current() const { return m_current; }
    void setCurrent(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateAccessibleName();

    int m_count;
    int m_current = 0;
};
