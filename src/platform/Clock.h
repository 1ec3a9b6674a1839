#pragma once

#include <QDateTime>

namespace corvane {

// Wall-clock time of checks; tests set it.
class Clock
{
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual QDateTime now() const = 0;
};

class SystemClock : public Clock
{
public:
    [[nodiscard]] QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

} // namespace corvane
