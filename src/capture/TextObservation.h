#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A box in normalised image coordinates (0 to 1) with the origin at the
// lower-left corner: a larger y is higher on the screen.
struct NormalizedRect
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// One recognised line, or one fragment of a visual line that lies in its own
// column, with its candidate strings best first.
struct TextObservation
{
    NormalizedRect boundingBox;
    QStringList candidates;
};
