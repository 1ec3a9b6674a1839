// The settings file when the disk says no: a read-only directory, a full disk, and a file that
// was truncated or overwritten between runs. Needs root for its tmpfs mounts.
#include "TestSupport.h"

#include "RecordingNotifier.h"

#include "monitor/ServerMonitor.h"
#include "platform/JsonFileSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>

using namespace corvane;
using namespace corvane::test;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A tmpfs of the given size over dir; unmounted again on destruction.
class Mount
{
public:
    Mount(const QString& dir, qint64 bytes) : m_dir(QFile::encodeName(dir))
    {
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        if (::mount("tmpfs", m_dir.constData(), "tmpfs", 0, options.constData()) != 0)
            m_error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~Mount()
    {
        if (m_error.isEmpty())
            ::umount2(m_dir.constData(), MNT_DETACH);
    }
    Mount(const Mount&) = delete;
    Mount& operator=(const Mount&) = delete;

    [[nodiscard]] const QString& error() const { return m_error; }
    bool readOnly()
    {
        return ::mount("tmpfs", m_dir.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_dir;
    QString m_error;
};

// Fills the file system that holds dir until a write fails.
void fill(const QString& dir)
{
    QFile filler(dir + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // Nothing at all fits any more, not even one byte.
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
}

} // namespace

class SettingsFaultsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writeRefusedByTheDisk_data()
    {
        QTest::addColumn<bool>("full");
        QTest::newRow("read-only directory") << false;
        QTest::newRow("full disk") << true;
    }

    // Root ignores permission bits, so "read-only" has to be a read-only mount.
    void writeRefusedByTheDisk()
    {
        QFETCH(bool, full);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Mount mount(dir.path(), 256 * 1024);
        QVERIFY2(mount.error().isEmpty(),
                 qPrintable(QStringLiteral("cannot mount a tmpfs (the test needs root): ") +
                            mount.error()));
        const QString path = dir.filePath(QStringLiteral("corvane/settings.json"));

        JsonFileSettingsStore store(path);
        store.set(QStringLiteral("monitor.intervalMinutes"), SettingsValue(qint64(5)));
        store.set(QStringLiteral("monitor.notifications"), SettingsValue(true));
        QCOMPARE(store.lastWriteError(), QString());
        const QByteArray good = readAll(path);

        if (full)
            fill(dir.path());
        else
            QVERIFY(mount.readOnly());

        // Larger than anything that could still squeeze into a full disk.
        const QByteArray big(64 * 1024, 'b');
        store.set(QStringLiteral("monitor.intervalMinutes"), SettingsValue(qint64(10)));
        // On Qt 6.4 a buffered QSaveFile reported success when its final flush hit ENOSPC and
        // left an empty file in place of the good one; this catches that coming back.
        QVERIFY(!store.lastWriteError().isEmpty());
        store.set(QStringLiteral("monitor.serverProfiles.v1"), SettingsValue(big));
        QVERIFY(!store.lastWriteError().isEmpty());
        store.set(QStringLiteral("monitor.notifications"), std::nullopt);
        QVERIFY(!store.lastWriteError().isEmpty());

        // Memory has every change; the file is the last good one, whole.
        QCOMPARE(store.integer(QStringLiteral("monitor.intervalMinutes")), 10);
        QCOMPARE(store.blob(QStringLiteral("monitor.serverProfiles.v1")), big);
        QCOMPARE(store.boolean(QStringLiteral("monitor.notifications")), std::nullopt);
        QCOMPARE(readAll(path), good);
        const JsonFileSettingsStore reread(path);
        QCOMPARE(reread.integer(QStringLiteral("monitor.intervalMinutes")), 5);
        QCOMPARE(reread.boolean(QStringLiteral("monitor.notifications")), true);

        // Once there is room again, the next write goes through with what memory holds.
        if (full) {
            QVERIFY(QFile::remove(dir.filePath(QStringLiteral("filler"))));
            store.set(QStringLiteral("monitor.intervalMinutes"), SettingsValue(qint64(15)));
            QCOMPARE(store.lastWriteError(), QString());
            const JsonFileSettingsStore after(path);
            QCOMPARE(after.integer(QStringLiteral("monitor.intervalMinutes")), 15);
        }
    }

    void corruptFileBetweenRuns_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("truncated to 0 bytes") << QByteArray();
        QTest::newRow("cut in half")
            << QByteArray("{\"monitor.serverProfiles.v1\": {\"base64\": \"W3s");
        QTest::newRow("garbage") << QByteArray("\x7f"
                                               "ELF\x02\x01\x01\0\0\0 binary",
                                               17);
        QTest::newRow("not an object") << QByteArray("[1, 2, 3]\n");
    }

    void corruptFileBetweenRuns()
    {
        QFETCH(QByteArray, damage);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("settings.json"));
        // The fake fails every run at once: the fallback profile must never reach a real ssh.
        const QString ssh =
            writeFakeSsh(dir.path(), QStringLiteral("echo 'fake: no network' >&2; exit 255"));

        ServerProfile mine;
        mine.name = QStringLiteral("mine");
        mine.host = QStringLiteral("127.0.0.1");
        mine.user = QStringLiteral("monitor");
        mine.enabled = false;
        {
            JsonFileSettingsStore first(path);
            first.set(QString::fromLatin1(ServerMonitor::profilesKey),
                      SettingsValue(encodeServerProfiles({mine})));
            QCOMPARE(first.lastWriteError(), QString());
        }
        writeAll(path, damage);

        MonitorSeams seams;
        auto store = std::make_shared<JsonFileSettingsStore>(path);
        seams.store = store;
        seams.notifier = std::make_shared<RecordingNotifier>();
        ServerMonitor monitor(std::move(seams), ssh);

        ServerProfile fallback = ServerProfile::legacy(*store);
        QCOMPARE(monitor.servers().size(), 1);
        fallback.id = monitor.servers().first().id;
        QCOMPARE(monitor.servers().first(), fallback);

        // The first write keeps the damaged file aside, byte for byte, and starts a good one.
        monitor.setIntervalMinutes(3);
        QCOMPARE(store->lastWriteError(), QString());
        const QStringList aside =
            QDir(dir.path()).entryList({QStringLiteral("settings.json.corrupt-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(dir.filePath(aside.first())), damage);
        const JsonFileSettingsStore reread(path);
        QCOMPARE(reread.integer(QString::fromLatin1(ServerMonitor::intervalKey)), 3);
        QTRY_VERIFY_WITH_TIMEOUT(monitor.results().value(fallback.id).lastChecked.has_value(),
                                 10000);
    }
};

QTEST_GUILESS_MAIN(SettingsFaultsTest)
#include "SettingsFaultsTest.moc"
