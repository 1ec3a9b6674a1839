#pragma once

#include "probe/SSHRunner.h"

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

namespace corvane::test {

// Collects one run's outcome on the event loop. Tests poll done() with a generous QTRY timeout,
// so a run that hangs fails its test instead of stalling the whole binary.
class PendingRun
{
public:
    explicit PendingRun(QCoro::Task<SSHOutcome> task)
        : m_outcome(std::make_shared<std::optional<SSHOutcome>>())
    {
        collect(std::move(task), m_outcome);
    }

    [[nodiscard]] bool done() const { return m_outcome->has_value(); }
    [[nodiscard]] const SSHOutcome& outcome() const { return **m_outcome; }

    // What a failed comparison prints.
    [[nodiscard]] QString describe() const
    {
        if (!done())
            return QStringLiteral("(still running)");
        if (const auto* bytes = std::get_if<QByteArray>(&outcome()))
            return QStringLiteral("output of %1 bytes: %2")
                .arg(bytes->size())
                .arg(QString::fromUtf8(bytes->left(200)));
        if (const auto* error = std::get_if<SSHError>(&outcome()))
            return QStringLiteral("SSHError %1: %2")
                .arg(static_cast<int>(error->kind()))
                .arg(error->errorDescription());
        return QStringLiteral("platform error: ") + std::get<PlatformError>(outcome()).description;
    }

private:
    // Dropped at once: a QCoro task that nobody awaits still runs to its end.
    static QCoro::Task<> collect(QCoro::Task<SSHOutcome> task,
                                 std::shared_ptr<std::optional<SSHOutcome>> into)
    {
        *into = co_await task;
    }

    std::shared_ptr<std::optional<SSHOutcome>> m_outcome;
};

} // namespace corvane::test
