#pragma once

#include "views/ViewStyle.h"

#include <QWidget>

#include <initializer_list>

class QVBoxLayout;

// One page of the first-run window: a large symbol, a bold title and a dimmed
// subtitle, centred, above the page's own content, the whole block centred
// vertically.
class OnboardingPage : public QWidget
{
    Q_OBJECT
public:
    struct Header
    {
        QString symbol;
        int symbolSize;
        QString title;
        int titlePixels;
        QString subtitle;
        ViewStyle::TextStyle subtitleStyle;
        QColor symbolColor = {}; // invalid: the accent colour
    };

    struct Feature
    {
        QString symbol;
        QString title;
        QString description;
    };

protected:
    OnboardingPage(const Header& header, QWidget* parent);

    // Adds a block, centred, `gap` pixels below what is already there.
    void addBlock(QWidget* block, int gap);
    // Adds feature rows (a symbol, a headline title over a dimmed
    // description) sharing one left edge.
    void addFeatures(std::initializer_list<Feature> features);

private:
    QVBoxLayout* m_layout;
};
