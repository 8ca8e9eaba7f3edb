#pragma once

#include <QDateTime>

// Source of the current time, so that tests can set it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The wall clock, shared by every service that is not given another.
    static Clock& system();
};

// A clock that stands still until it is moved.
class ManualClock : public Clock
{
public:
    explicit ManualClock(QDateTime start = QDateTime::currentDateTimeUtc())
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    void set(QDateTime t) { m_now = std::move(t); }
    void advance(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
