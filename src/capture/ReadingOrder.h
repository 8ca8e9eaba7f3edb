#pragma once

#include "capture/TextObservation.h"

#include <QList>
#include <QString>

// Puts recognised lines into reading order and joins them into one text.
// Pure functions of the observations; safe on any thread.
namespace ReadingOrder {

// One column read top to bottom, or two columns (left, then right) when the
// left edges fall into two groups of at least four lines each with a clear gap
// between them. Lines of equal height keep the order they came in.
QList<TextObservation> orderObservations(QList<TextObservation> observations);

// The best candidate of each observation, in the given order, joined with
// "\n". Observations without a candidate leave no line behind; strings are
// not trimmed.
QString joinObservations(const QList<TextObservation>& observations);

} // namespace ReadingOrder
