#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <utility>

namespace corvane::test {

// A private OpenSSH server on 127.0.0.1 with its own keys and config in a temp dir.
//
// ssh reads known_hosts from the passwd home, not from $HOME, so start() preloads libnss_wrapper
// for this process's children: the current uid then has a temp home whose known_hosts holds the
// fixture's host key. sshd gets the same view, which also gives the remote side /bin/sh as its
// login shell and keeps this machine's own login scripts out of the remote output.
class SshdFixture
{
public:
    SshdFixture();
    ~SshdFixture();
    SshdFixture(const SshdFixture&) = delete;
    SshdFixture& operator=(const SshdFixture&) = delete;

    // False, with error() saying why, when a prerequisite is missing or sshd does not come up.
    [[nodiscard]] bool start();
    [[nodiscard]] const QString& error() const { return m_error; }

    [[nodiscard]] static QString host() { return QStringLiteral("127.0.0.1"); }
    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] QString portText() const { return QString::number(m_port); }
    [[nodiscard]] const QString& user() const { return m_user; }
    [[nodiscard]] QString clientKey() const { return path(QStringLiteral("client_key")); }
    [[nodiscard]] QString path(const QString& name) const;

    // An executable shell script in the temp dir, for use as a remote command.
    QString writeScript(const QString& name, const QString& body) const;
    void writeFile(const QString& name, const QByteArray& bytes) const;
    // Trusted: known_hosts lists the server's key. Otherwise known_hosts is empty.
    void trustHostKey(bool trusted) const;
    // sshd's own log, for failure messages.
    [[nodiscard]] QString log() const;

    // A loopback port that nothing listens on at the moment of the call.
    [[nodiscard]] static quint16 closedPort();

private:
    bool fail(const QString& why);
    bool run(const QString& program, const QStringList& arguments);
    bool writeIdentityFiles();
    bool wrapNameService();
    bool launch();
    void stop();

    QTemporaryDir m_dir;
    QString m_error;
    QString m_user;
    quint16 m_port = 0;
    QByteArray m_hostKey;
    std::unique_ptr<QProcess> m_sshd;
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_savedEnvironment;
};

} // namespace corvane::test
