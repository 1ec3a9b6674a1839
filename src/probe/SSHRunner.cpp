#include "SSHRunner.h"

#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>

#include <coroutine>
#include <pwd.h>

namespace corvane {

namespace {

// Tracks one child from start to exit. The run is over when the child has exited (not when its
// pipes close: a ControlPersist master or a stray background job may hold them open for ever),
// or when it could not be started at all.
class ProcessEnd
{
public:
    explicit ProcessEnd(QProcess& process) : m_process(process)
    {
        QObject::connect(&m_process, &QProcess::finished, &m_process, [this] { end(); });
        QObject::connect(&m_process, &QProcess::errorOccurred, &m_process,
                         [this](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) {
                                 m_failedToStart = true;
                                 end();
                             }
                         });
    }

    [[nodiscard]] bool failedToStart() const { return m_failedToStart; }

    ProcessEnd(const ProcessEnd&) = delete;
    ProcessEnd& operator=(const ProcessEnd&) = delete;

    // The awaiter only points at the state: g++ 12 may copy an awaited lvalue, and a copy
    // holding the waiter would never be resumed.
    struct Awaiter
    {
        ProcessEnd* state;
        bool await_ready() const noexcept { return state->m_ended; }
        void await_suspend(std::coroutine_handle<> waiter) noexcept { state->m_waiter = waiter; }
        void await_resume() const noexcept {}
    };
    [[nodiscard]] Awaiter wait() { return Awaiter{this}; }

private:
    void end()
    {
        if (m_ended)
            return;
        m_ended = true;
        if (m_waiter) {
            // Resume outside QProcess's own signal emission: the frame that owns the process may
            // end right after.
            QTimer::singleShot(0, &m_process, [waiter = m_waiter] { waiter.resume(); });
        }
    }

    QProcess& m_process;
    bool m_ended = false;
    bool m_failedToStart = false;
    std::coroutine_handle<> m_waiter;
};

QString startFailure(const QString& executable, const QString& platformText)
{
    // Qt reports "execvp: No such file or directory"; keep the system's reason only.
    QString reason = platformText;
    const qsizetype colon = reason.indexOf(QStringLiteral(": "));
    if (colon >= 0 && !reason.left(colon).contains(QLatin1Char(' ')))
        reason = reason.mid(colon + 2);
    return QStringLiteral("Could not start %1: %2").arg(executable, reason);
}

// Cut at a character boundary so that a capped stderr still reads as UTF-8.
void truncateUtf8(QByteArray& bytes, qsizetype size)
{
    if (bytes.size() <= size)
        return;
    qsizetype end = size;
    while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
        --end;
    bytes.truncate(end);
}

} // namespace

QString failureMessage(const SSHOutcome& outcome)
{
    if (const SSHError* error = std::get_if<SSHError>(&outcome))
        return error->errorDescription();
    if (const PlatformError* error = std::get_if<PlatformError>(&outcome))
        return error->description;
    return {};
}

SSHRunner::SSHRunner(QString executable, SSHLimits limits)
    : m_executable(std::move(executable)), m_limits(limits)
{
}

std::optional<qint64> SSHRunner::parsePort(const QString& port)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (port.isEmpty() || !decimal.match(port).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = port.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString SSHRunner::expandTilde(const QString& path)
{
    if (!path.startsWith(QLatin1Char('~')))
        return path;
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString who = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (who.isEmpty())
        return QDir::homePath() + rest;
    if (const passwd* entry = ::getpwnam(who.toLocal8Bit().constData()))
        return QString::fromLocal8Bit(entry->pw_dir) + rest;
    return path;
}

std::optional<QStringList> SSHRunner::arguments(const QString& host, const QString& user,
                                                const QString& port, const QString& keyFile,
                                                const QString& remoteCommand)
{
    static const QRegularExpression hostPattern(QStringLiteral("^[A-Za-z0-9._:-]+$"));
    static const QRegularExpression userPattern(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (host.isEmpty() || user.isEmpty())
        return std::nullopt;
    const std::optional<qint64> number = parsePort(port);
    if (!number || *number < 1 || *number > 65535)
        return std::nullopt;
    if (!hostPattern.match(host).hasMatch() || !userPattern.match(user).hasMatch())
        return std::nullopt;
    // ssh would take a leading "-" in user@host as one of its own options.
    if (host.startsWith(QLatin1Char('-')) || user.startsWith(QLatin1Char('-')))
        return std::nullopt;
    if (remoteCommand.trimmed().isEmpty())
        return std::nullopt;

    QStringList args{QStringLiteral("-T"),
                     QStringLiteral("-o"),
                     QStringLiteral("BatchMode=yes"),
                     QStringLiteral("-o"),
                     QStringLiteral("StrictHostKeyChecking=yes"),
                     QStringLiteral("-o"),
                     QStringLiteral("ConnectTimeout=8"),
                     QStringLiteral("-o"),
                     QStringLiteral("ServerAliveInterval=5"),
                     QStringLiteral("-o"),
                     QStringLiteral("ServerAliveCountMax=2"),
                     QStringLiteral("-p"),
                     QString::number(*number)};
    if (!keyFile.isEmpty())
        args << QStringLiteral("-i") << expandTilde(keyFile);
    args << user + QLatin1Char('@') + host << remoteCommand;
    return args;
}

QCoro::Task<SSHOutcome> SSHRunner::run(QString host, QString user, QString port, QString keyFile,
                                       QString remoteCommand) const
{
    const std::optional<QStringList> args = arguments(host, user, port, keyFile, remoteCommand);
    if (!args)
        co_return SSHError::invalidSettings();

    const SSHLimits limits = m_limits;
    const QString executable = m_executable;

    QProcess process;
    process.setProgram(executable);
    process.setArguments(*args);
    process.setStandardInputFile(QProcess::nullDevice());

    QByteArray output;
    QByteArray errorOutput;
    bool tooLarge = false;
    const auto readOutput = [&] {
        output += process.readAllStandardOutput();
        if (output.size() > limits.maxOutput && !tooLarge) {
            tooLarge = true;
            process.kill();
        }
    };
    const auto readErrors = [&] {
        // Drained in full so that a flood never stalls the child; only the start is kept.
        const QByteArray chunk = process.readAllStandardError();
        if (errorOutput.size() <= limits.maxErrorOutput)
            errorOutput += chunk;
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, readOutput);
    QObject::connect(&process, &QProcess::readyReadStandardError, &process, readErrors);

    // A child that ignores SIGTERM would keep the server "refreshing" for ever.
    QTimer limit;
    limit.setSingleShot(true);
    QTimer grace;
    grace.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &process, [&] {
        process.terminate();
        grace.start(limits.killGrace);
    });
    QObject::connect(&grace, &QTimer::timeout, &process, [&] { process.kill(); });

    ProcessEnd end(process);
    process.start();
    limit.start(limits.runLimit);
    co_await end.wait();
    limit.stop();
    grace.stop();

    if (end.failedToStart())
        co_return PlatformError{startFailure(executable, process.errorString())};

    readOutput();
    readErrors();
    if (tooLarge)
        co_return SSHError::process(QStringLiteral("Health report too large (over 16 MiB)"));
    if (!output.isEmpty())
        co_return output;

    truncateUtf8(errorOutput, limits.maxErrorOutput);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString message = decoder.decode(errorOutput);
    if (decoder.hasError() || message.isEmpty())
        co_return SSHError::process(QStringLiteral("SSH returned no data"));
    co_return SSHError::process(message);
}

} // namespace corvane
