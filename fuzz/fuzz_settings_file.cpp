// The settings file reader: the reader is private to the store, so each input is written as the
// settings file and a store is opened on it, then read and written through.
#include "monitor/ServerMonitor.h"
#include "platform/JsonFileSettingsStore.h"
#include "records/ServerProfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace corvane;

namespace {

const QStringList kKeys{QString::fromLatin1(ServerMonitor::profilesKey),
                        QString::fromLatin1(ServerMonitor::selectedKey),
                        QString::fromLatin1(ServerMonitor::intervalKey),
                        QString::fromLatin1(ServerMonitor::notificationsKey),
                        QStringLiteral("a"),
                        QStringLiteral("")};

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One directory for the whole run: a fresh one per input would cost more than the parse.
    // Memory-backed when the machine has it: each write syncs the file and its directory.
    static const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                    ? QStringLiteral("/dev/shm")
                                    : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/corvane-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    writeAll(path, bytes);

    JsonFileSettingsStore store(path);
    for (const QString& key : kKeys) {
        static_cast<void>(store.integer(key));
        static_cast<void>(store.boolean(key));
        static_cast<void>(store.text(key));
        if (const std::optional<QByteArray> blob = store.blob(key))
            static_cast<void>(decodeServerProfiles(*blob));
    }

    // A write keeps a bad file aside and must leave a file that reads back with the new key.
    store.set(QStringLiteral("fuzz.written"), SettingsValue(qint64(7)));
    if (!store.lastWriteError().isEmpty())
        std::abort();
    JsonFileSettingsStore reopened(path);
    if (reopened.integer(QStringLiteral("fuzz.written")) != 7)
        std::abort();

    // Clear out kept-aside copies so the directory does not grow over a long run.
    const QDir listing(dir.path());
    for (const QString& name : listing.entryList(QDir::Files | QDir::Hidden))
        if (name.startsWith(QStringLiteral("settings.json.corrupt-")))
            QFile::remove(dir.filePath(name));
    return 0;
}
