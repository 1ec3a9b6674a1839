#include "SshdFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::test {

namespace {

const QString kSshd = QStringLiteral("/usr/sbin/sshd");
const QString kKeygen = QStringLiteral("/usr/bin/ssh-keygen");

QString findNssWrapper()
{
    QStringList candidates{QStringLiteral("/usr/lib/x86_64-linux-gnu/libnss_wrapper.so"),
                           QStringLiteral("/usr/lib/aarch64-linux-gnu/libnss_wrapper.so"),
                           QStringLiteral("/usr/lib64/libnss_wrapper.so"),
                           QStringLiteral("/usr/lib/libnss_wrapper.so"),
                           QStringLiteral("/usr/local/lib/libnss_wrapper.so")};
    for (const QString& dir : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs))
        candidates.append(QStringLiteral("/usr/lib/%1/libnss_wrapper.so").arg(dir));
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile())
            return candidate;
    return {};
}

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool accepts(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const sockaddr_in address = loopback(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

QString passwdLine(const passwd& entry, const QString& home, const QString& shell)
{
    return QStringLiteral("%1:x:%2:%3:%4:%5:%6\n")
        .arg(QString::fromLocal8Bit(entry.pw_name))
        .arg(entry.pw_uid)
        .arg(entry.pw_gid)
        .arg(QString::fromLocal8Bit(entry.pw_gecos ? entry.pw_gecos : ""), home, shell);
}

QString groupLine(gid_t gid)
{
    const group* entry = ::getgrgid(gid);
    const QString name =
        entry ? QString::fromLocal8Bit(entry->gr_name) : QStringLiteral("group%1").arg(gid);
    return QStringLiteral("%1:x:%2:\n").arg(name).arg(gid);
}

} // namespace

SshdFixture::SshdFixture() = default;

SshdFixture::~SshdFixture()
{
    stop();
    for (const auto& [name, value] : m_savedEnvironment) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QString SshdFixture::path(const QString& name) const
{
    return m_dir.filePath(name);
}

QString SshdFixture::writeScript(const QString& name, const QString& body) const
{
    const QString file = path(name);
    writeFile(name, "#!/bin/sh\n" + body.toUtf8() + "\n");
    QFile::setPermissions(file,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return file;
}

void SshdFixture::writeFile(const QString& name, const QByteArray& bytes) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.write(bytes);
}

void SshdFixture::trustHostKey(bool trusted) const
{
    const QByteArray entry = "[127.0.0.1]:" + QByteArray::number(m_port) + ' ' + m_hostKey + '\n';
    writeFile(QStringLiteral("home/.ssh/known_hosts"), trusted ? entry : QByteArray());
}

QString SshdFixture::log() const
{
    QFile file(path(QStringLiteral("sshd.log")));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(no sshd log)");
    return QString::fromUtf8(file.readAll());
}

quint16 SshdFixture::closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool SshdFixture::fail(const QString& why)
{
    m_error = why;
    return false;
}

bool SshdFixture::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return fail(QStringLiteral("%1 %2 failed: %3 %4")
                        .arg(program, arguments.join(QLatin1Char(' ')), process.errorString(),
                             QString::fromLocal8Bit(process.readAll())));
    return true;
}

bool SshdFixture::start()
{
    if (!m_dir.isValid())
        return fail(QStringLiteral("cannot create a temp dir: ") + m_dir.errorString());
    for (const QString& tool : {kSshd, kKeygen})
        if (!QFileInfo(tool).isExecutable())
            return fail(tool + QStringLiteral(" is missing (install openssh-server and "
                                              "openssh-client)"));
    if (!writeIdentityFiles() || !wrapNameService())
        return false;
    // sshd refuses to start as root without its privilege separation directory.
    if (::geteuid() == 0)
        QDir().mkpath(QStringLiteral("/run/sshd"));
    // Another process may take the free port between the probe and sshd's bind: try again.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (launch())
            return true;
    return false;
}

bool SshdFixture::writeIdentityFiles()
{
    const QString hostKey = path(QStringLiteral("host_key"));
    const QString clientKeyPath = clientKey();
    for (const QString& key : {hostKey, clientKeyPath})
        if (!run(kKeygen, {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                           QStringLiteral("-N"), QString(), QStringLiteral("-C"),
                           QStringLiteral("corvane-test"), QStringLiteral("-f"), key}))
            return false;
    QFile::setPermissions(clientKeyPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QFile hostPublic(hostKey + QStringLiteral(".pub"));
    QFile clientPublic(clientKeyPath + QStringLiteral(".pub"));
    if (!hostPublic.open(QIODevice::ReadOnly) || !clientPublic.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("ssh-keygen wrote no public keys"));
    // known_hosts wants "type base64", without the comment.
    const QList<QByteArray> fields = hostPublic.readAll().trimmed().split(' ');
    if (fields.size() < 2)
        return fail(QStringLiteral("unreadable host public key"));
    m_hostKey = fields.at(0) + ' ' + fields.at(1);
    writeFile(QStringLiteral("authorized_keys"), clientPublic.readAll());
    QFile::setPermissions(path(QStringLiteral("authorized_keys")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

bool SshdFixture::wrapNameService()
{
    const QString wrapper = findNssWrapper();
    if (wrapper.isEmpty())
        return fail(QStringLiteral("libnss_wrapper.so not found (install libnss-wrapper)"));
    const passwd* self = ::getpwuid(::getuid());
    if (!self)
        return fail(QStringLiteral("the current uid has no passwd entry"));
    m_user = QString::fromLocal8Bit(self->pw_name);

    const QString home = path(QStringLiteral("home"));
    if (!QDir().mkpath(home + QStringLiteral("/.ssh")))
        return fail(QStringLiteral("cannot create ") + home);

    QString users = passwdLine(*self, home, QStringLiteral("/bin/sh"));
    QString groups = groupLine(self->pw_gid);
    // sshd drops its pre-authentication child to this account.
    if (const passwd* privsep = ::getpwnam("sshd"); privsep && privsep->pw_uid != self->pw_uid) {
        users += passwdLine(*privsep, QString::fromLocal8Bit(privsep->pw_dir),
                            QString::fromLocal8Bit(privsep->pw_shell));
        if (privsep->pw_gid != self->pw_gid)
            groups += groupLine(privsep->pw_gid);
    }
    writeFile(QStringLiteral("passwd"), users.toLocal8Bit());
    writeFile(QStringLiteral("group"), groups.toLocal8Bit());

    const std::pair<const char*, QString> variables[] = {
        {"LD_PRELOAD", wrapper},
        {"NSS_WRAPPER_PASSWD", path(QStringLiteral("passwd"))},
        {"NSS_WRAPPER_GROUP", path(QStringLiteral("group"))},
    };
    for (const auto& [name, value] : variables) {
        m_savedEnvironment.append({QByteArray(name), qEnvironmentVariableIsSet(name)
                                                         ? std::optional(qgetenv(name))
                                                         : std::nullopt});
        qputenv(name, value.toLocal8Bit());
    }

    // Without this check a wrapper that does not take would show up as a host-key failure.
    QProcess getent;
    getent.start(QStringLiteral("getent"),
                 {QStringLiteral("passwd"), QString::number(self->pw_uid)});
    if (!getent.waitForFinished(10000))
        return fail(QStringLiteral("getent did not run: ") + getent.errorString());
    const QString entry = QString::fromLocal8Bit(getent.readAllStandardOutput());
    if (!entry.contains(home))
        return fail(QStringLiteral("libnss_wrapper did not take effect; getent says: ") + entry);
    return true;
}

bool SshdFixture::launch()
{
    m_port = closedPort();
    if (m_port == 0)
        return fail(QStringLiteral("no free loopback port"));
    trustHostKey(true);

    const QString config =
        QStringLiteral("ListenAddress 127.0.0.1\n"
                       "Port %1\n"
                       "HostKey %2\n"
                       "PidFile %3\n"
                       "AuthorizedKeysFile %4\n"
                       "UsePAM no\n"
                       "StrictModes no\n"
                       "PermitRootLogin prohibit-password\n"
                       "PubkeyAuthentication yes\n"
                       "PasswordAuthentication no\n"
                       "KbdInteractiveAuthentication no\n"
                       "MaxStartups 100:30:200\n")
            .arg(m_port)
            .arg(path(QStringLiteral("host_key")), path(QStringLiteral("sshd.pid")),
                 path(QStringLiteral("authorized_keys")));
    writeFile(QStringLiteral("sshd_config"), config.toUtf8());

    m_sshd = std::make_unique<QProcess>();
    m_sshd->setProgram(kSshd);
    m_sshd->setArguments({QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                          path(QStringLiteral("sshd_config"))});
    m_sshd->setStandardInputFile(QProcess::nullDevice());
    // A file rather than a pipe: nobody has to drain it while the tests run.
    m_sshd->setStandardOutputFile(path(QStringLiteral("sshd.log")), QIODevice::Append);
    m_sshd->setStandardErrorFile(path(QStringLiteral("sshd.log")), QIODevice::Append);
    m_sshd->start();
    if (!m_sshd->waitForStarted(10000))
        return fail(QStringLiteral("cannot start sshd: ") + m_sshd->errorString());

    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (accepts(m_port))
            return true;
        if (m_sshd->state() == QProcess::NotRunning || m_sshd->waitForFinished(50))
            break;
    }
    stop();
    return fail(QStringLiteral("sshd did not accept connections on 127.0.0.1:%1; its log:\n%2")
                    .arg(m_port)
                    .arg(log()));
}

void SshdFixture::stop()
{
    if (!m_sshd)
        return;
    if (m_sshd->state() != QProcess::NotRunning) {
        m_sshd->terminate();
        if (!m_sshd->waitForFinished(5000)) {
            m_sshd->kill();
            m_sshd->waitForFinished(5000);
        }
    }
    m_sshd.reset();
}

} // namespace corvane::test
