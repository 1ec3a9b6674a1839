#include "JsonFileSettingsStore.h"

#include "../records/JsonWalk.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace corvane {

namespace {

constexpr qint64 kLargestFile = 64 * 1024 * 1024;

QJsonValue toJson(const SettingsValue& value)
{
    if (const qint64* i = std::get_if<qint64>(&value))
        return QJsonValue(*i);
    if (const bool* b = std::get_if<bool>(&value))
        return QJsonValue(*b);
    if (const QString* s = std::get_if<QString>(&value))
        return QJsonValue(*s);
    const QByteArray& bytes = std::get<QByteArray>(value);
    return QJsonObject{{QStringLiteral("base64"), QString::fromLatin1(bytes.toBase64())}};
}

void syncDirectory(const QString& dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

JsonFileSettingsStore::JsonFileSettingsStore(QString filePath) : m_filePath(std::move(filePath))
{
    static_cast<void>(readFile(m_values));
}

QString JsonFileSettingsStore::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/corvane-monitor/settings.json");
}

JsonFileSettingsStore::FileState JsonFileSettingsStore::readFile(QJsonObject& into) const
{
    into = {};
    QFile file(m_filePath);
    if (!file.exists())
        return FileState::missing;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile)
        return FileState::unreadable;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return FileState::unreadable;
    into = document.object();
    return FileState::readable;
}

std::optional<qint64> JsonFileSettingsStore::integer(const QString& key) const
{
    return json::exactInteger(m_values.value(key));
}

std::optional<bool> JsonFileSettingsStore::boolean(const QString& key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<QString> JsonFileSettingsStore::text(const QString& key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QByteArray> JsonFileSettingsStore::blob(const QString& key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue encoded = object.value(QStringLiteral("base64"));
    if (object.size() != 1 || !encoded.isString())
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(encoded.toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

bool JsonFileSettingsStore::moveAside() const
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString target = m_filePath + QStringLiteral(".corrupt-") + stamp;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = m_filePath + QStringLiteral(".corrupt-%1-%2").arg(stamp).arg(n);
    return QFile::rename(m_filePath, target);
}

void JsonFileSettingsStore::set(const QString& key, std::optional<SettingsValue> value)
{
    // Memory follows every write, so the running app stays right even when the disk says no.
    if (value)
        m_values.insert(key, toJson(*value));
    else
        m_values.remove(key);

    const QFileInfo info(m_filePath);
    const QString dir = info.absolutePath();
    if (!QDir().mkpath(dir)) {
        m_lastWriteError = QStringLiteral("cannot create %1").arg(dir);
        return;
    }
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QLockFile lock(m_filePath + QStringLiteral(".lock"));
    lock.setStaleLockTime(30000);
    const bool locked = lock.tryLock(10000);

    // Another process may have written since we read: change only this key in what is there now.
    QJsonObject onDisk;
    const FileState state = readFile(onDisk);
    if (state == FileState::unreadable) {
        // Keep what cannot be read for the user to look at; never overwrite it silently.
        if (!moveAside()) {
            m_lastWriteError =
                QStringLiteral("cannot move the unreadable %1 aside").arg(m_filePath);
            return;
        }
    }
    if (value)
        onDisk.insert(key, toJson(*value));
    else
        onDisk.remove(key);

    if (writeFile(onDisk)) {
        m_values = onDisk;
        m_lastWriteError.clear();
    }
    if (locked)
        lock.unlock();
}

bool JsonFileSettingsStore::writeFile(const QJsonObject& values)
{
    QSaveFile file(m_filePath);
    // Unbuffered: a buffered QSaveFile meets a full disk only in commit(), which then still
    // reports success and leaves an empty file in place of the last good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_lastWriteError = file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray bytes = QJsonDocument(values).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size()) {
        m_lastWriteError = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_lastWriteError = file.errorString();
        return false;
    }
    syncDirectory(QFileInfo(m_filePath).absolutePath());
    return true;
}

} // namespace corvane
