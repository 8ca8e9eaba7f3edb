#pragma once

#include <QString>

// Posts a user notification (a title and a one-line body) to the desktop.
// Delivery is best effort: a notification the desktop refuses is dropped.
class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void post(const QString& title, const QString& body) = 0;
};
