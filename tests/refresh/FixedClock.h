#pragma once

#include "platform/Clock.h"

namespace corvane::test {

// Wall-clock time that only the test moves.
class FixedClock : public Clock
{
public:
    [[nodiscard]] QDateTime now() const override { return m_time; }
    void set(const QDateTime& time) { m_time = time; }
    void advance(qint64 seconds) { m_time = m_time.addSecs(seconds); }

private:
    QDateTime m_time = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC);
};

} // namespace corvane::test
