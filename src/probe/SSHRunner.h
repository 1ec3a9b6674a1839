#pragma once

#include "SSHError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>
#include <variant>

namespace corvane {

// The platform's own description of a failure, for example a start failure of the ssh client.
struct PlatformError
{
    QString description;
    friend bool operator==(const PlatformError&, const PlatformError&) = default;
};

// The command's standard output (never empty), or why there is none.
using SSHOutcome = std::variant<QByteArray, SSHError, PlatformError>;

[[nodiscard]] QString failureMessage(const SSHOutcome& outcome);

struct SSHLimits
{
    std::chrono::milliseconds runLimit{90000};
    // A child that ignores SIGTERM is killed this long after it.
    std::chrono::milliseconds killGrace{5000};
    qsizetype maxOutput = 16 * 1024 * 1024;
    qsizetype maxErrorOutput = 64 * 1024;
};

class SSHRunner
{
public:
    static constexpr auto defaultExecutable = "/usr/bin/ssh";

    explicit SSHRunner(QString executable = QString::fromLatin1(defaultExecutable),
                       SSHLimits limits = {});

    [[nodiscard]] QCoro::Task<SSHOutcome> run(QString host, QString user, QString port,
                                              QString keyFile, QString remoteCommand) const;

    // The ssh argument vector after the program name, or none when the settings are invalid.
    [[nodiscard]] static std::optional<QStringList>
    arguments(const QString& host, const QString& user, const QString& port, const QString& keyFile,
              const QString& remoteCommand);
    [[nodiscard]] static std::optional<qint64> parsePort(const QString& port);
    [[nodiscard]] static QString expandTilde(const QString& path);

    [[nodiscard]] const QString& executable() const { return m_executable; }
    [[nodiscard]] const SSHLimits& limits() const { return m_limits; }

private:
    QString m_executable;
    SSHLimits m_limits;
};

} // namespace corvane
