#pragma once

#include "platform/Notifier.h"

#include <QList>
#include <QString>

namespace corvane::test {

// Keeps every notification instead of showing it, so tests can read what would have been posted.
class RecordingNotifier : public Notifier
{
public:
    struct Posted
    {
        QString title;
        QString body;
        friend bool operator==(const Posted&, const Posted&) = default;
    };

    void post(const QString& title, const QString& body) override
    {
        m_posted.append({title, body});
    }

    [[nodiscard]] const QList<Posted>& posted() const { return m_posted; }
    void clear() { m_posted.clear(); }

private:
    QList<Posted> m_posted;
};

} // namespace corvane::test
