#include "platform/JsonFileSettingsStore.h"
#include "records/JsonWalk.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <memory>
#include <sys/stat.h>

using namespace corvane;

using StoredValue = std::optional<SettingsValue>;
Q_DECLARE_METATYPE(corvane::SettingsValue)
Q_DECLARE_METATYPE(StoredValue)

namespace {

const QString kKey = QStringLiteral("k");

// What each of the four typed reads gives for one key.
struct Reads
{
    std::optional<qint64> integer;
    std::optional<bool> boolean;
    std::optional<QString> text;
    std::optional<QByteArray> blob;
    friend bool operator==(const Reads&, const Reads&) = default;
};

Reads readsOf(const SettingsStore& store, const QString& key)
{
    return {store.integer(key), store.boolean(key), store.text(key), store.blob(key)};
}

// Only the read of the value's own kind finds it.
Reads expectedReads(const StoredValue& value)
{
    Reads reads;
    if (!value)
        return reads;
    if (const auto* i = std::get_if<qint64>(&*value))
        reads.integer = *i;
    else if (const auto* b = std::get_if<bool>(&*value))
        reads.boolean = *b;
    else if (const auto* s = std::get_if<QString>(&*value))
        reads.text = *s;
    else
        reads.blob = std::get<QByteArray>(*value);
    return reads;
}

QByteArray describe(const Reads& reads)
{
    QStringList parts;
    parts << (reads.integer ? QString::number(*reads.integer) : QStringLiteral("-"));
    parts << (reads.boolean ? (*reads.boolean ? QStringLiteral("true") : QStringLiteral("false"))
                            : QStringLiteral("-"));
    parts << (reads.text ? QLatin1Char('"') + *reads.text + QLatin1Char('"') : QStringLiteral("-"));
    parts << (reads.blob ? QString::fromLatin1(reads.blob->toHex()) : QStringLiteral("-"));
    return QStringLiteral("integer %1, boolean %2, text %3, blob %4")
        .arg(parts[0], parts[1], parts[2], parts[3])
        .toUtf8();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void verifyReads(const QString& path, const StoredValue& expected)
{
    const JsonFileSettingsStore store(path);
    QVERIFY2(readsOf(store, kKey) == expectedReads(expected), describe(readsOf(store, kKey)));
}

// The file on disk as a JSON object; none when it is missing or not one object.
std::optional<QJsonObject> diskObject(const QString& path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(readBytes(path), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

int modeOf(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

// Seconds since the epoch read from the first fourteen digits of a name (yyyyMMddHHmmss, any
// separators), taken as UTC.
std::optional<qint64> utcStampIn(const QString& text)
{
    QString digits;
    for (const QChar c : text)
        if (c.isDigit())
            digits.append(c);
    if (digits.size() < 14)
        return std::nullopt;
    const QDateTime stamp =
        QDateTime::fromString(digits.left(14), QStringLiteral("yyyyMMddHHmmss"));
    if (!stamp.isValid())
        return std::nullopt;
    return QDateTime(stamp.date(), stamp.time(), Qt::UTC).toSecsSinceEpoch();
}

} // namespace

class JsonFileSettingsStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void readsOnlyTheStoredKind_data();
    void readsOnlyTheStoredKind();
    void blobForm_data();
    void blobForm();
    void absentValueRemovesKey_data();
    void absentValueRemovesKey();
    void fileHoldsDocumentedForm();
    void permissions_data();
    void permissions();
    void defaultFilePath_data();
    void defaultFilePath();
    void unreadableFile_data();
    void unreadableFile();
    void storesOnOneFileKeepEachOthersKeys();
    void twoProcessesWritingAtOnce();
    void writeThatCannotReachDiskStaysInMemory();

private:
    [[nodiscard]] QString path() const { return m_dir->path() + QStringLiteral("/settings.json"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_home;
    QByteArray m_xdg;
    bool m_xdgWasSet = false;
};

void JsonFileSettingsStoreTest::initTestCase()
{
    // Away from UTC, so that a local-time stamp on a moved-aside file cannot pass for UTC.
    qputenv("TZ", "IST-5:30");
    ::tzset();
    m_home = qgetenv("HOME");
    m_xdgWasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_xdg = qgetenv("XDG_CONFIG_HOME");
}

void JsonFileSettingsStoreTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void JsonFileSettingsStoreTest::cleanup()
{
    qputenv("HOME", m_home);
    if (m_xdgWasSet)
        qputenv("XDG_CONFIG_HOME", m_xdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
    m_dir.reset();
}

void JsonFileSettingsStoreTest::roundTrip_data()
{
    QTest::addColumn<SettingsValue>("value");
    QTest::newRow("integer zero") << SettingsValue(qint64(0));
    QTest::newRow("negative integer") << SettingsValue(qint64(-42));
    QTest::newRow("integer beyond double precision") << SettingsValue(qint64(9007199254740993));
    QTest::newRow("largest integer") << SettingsValue(std::numeric_limits<qint64>::max());
    QTest::newRow("smallest integer") << SettingsValue(std::numeric_limits<qint64>::min());
    QTest::newRow("true") << SettingsValue(true);
    QTest::newRow("false") << SettingsValue(false);
    QTest::newRow("empty text") << SettingsValue(QString());
    QTest::newRow("text that looks like a number") << SettingsValue(QStringLiteral("5"));
    QTest::newRow("text with quotes, newline and non-ASCII")
        << SettingsValue(QStringLiteral("a \"b\"\n\\ \u00e9\u2014\U0001F600"));
    QTest::newRow("empty blob") << SettingsValue(QByteArray());
    QTest::newRow("binary blob") << SettingsValue(QByteArray("\x00\xff\xfb\x01 {}\"", 9));
    QTest::newRow("JSON text as blob") << SettingsValue(QByteArray(R"([{"id":"x"}])"));
}

void JsonFileSettingsStoreTest::roundTrip()
{
    QFETCH(SettingsValue, value);
    const Reads expected = expectedReads(value);
    {
        JsonFileSettingsStore writer(path());
        writer.set(kKey, value);
        QVERIFY2(writer.lastWriteError().isEmpty(), qPrintable(writer.lastWriteError()));
        QVERIFY2(readsOf(writer, kKey) == expected, describe(readsOf(writer, kKey)));
    }
    // A store opened afterwards reads what reached the disk.
    const JsonFileSettingsStore reader(path());
    QVERIFY2(readsOf(reader, kKey) == expected, describe(readsOf(reader, kKey)));
}

void JsonFileSettingsStoreTest::readsOnlyTheStoredKind_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<StoredValue>("expected");
    QTest::newRow("integer") << QByteArray(R"({"k":5})") << StoredValue(qint64(5));
    QTest::newRow("zero is not false") << QByteArray(R"({"k":0})") << StoredValue(qint64(0));
    QTest::newRow("boolean") << QByteArray(R"({"k":true})") << StoredValue(true);
    QTest::newRow("digits as text are not an integer")
        << QByteArray(R"({"k":"5"})") << StoredValue(QStringLiteral("5"));
    QTest::newRow("word true as text is not a boolean")
        << QByteArray(R"({"k":"true"})") << StoredValue(QStringLiteral("true"));
    QTest::newRow("base64 as plain text is not a blob")
        << QByteArray(R"({"k":"aGk="})") << StoredValue(QStringLiteral("aGk="));
    QTest::newRow("fraction") << QByteArray(R"({"k":5.5})") << StoredValue();
    QTest::newRow("integer beyond 64 bits")
        << QByteArray(R"({"k":9223372036854775808})") << StoredValue();
    QTest::newRow("null") << QByteArray(R"({"k":null})") << StoredValue();
    QTest::newRow("array") << QByteArray(R"({"k":[1]})") << StoredValue();
    QTest::newRow("other key only") << QByteArray(R"({"other":1})") << StoredValue();
}

void JsonFileSettingsStoreTest::readsOnlyTheStoredKind()
{
    QFETCH(QByteArray, file);
    QFETCH(StoredValue, expected);
    writeBytes(path(), file);
    verifyReads(path(), expected);
}

void JsonFileSettingsStoreTest::blobForm_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<StoredValue>("expected");
    QTest::newRow("standard base64")
        << QByteArray(R"({"k":{"base64":"aGk="}})") << StoredValue(QByteArray("hi"));
    QTest::newRow("empty") << QByteArray(R"({"k":{"base64":""}})") << StoredValue(QByteArray());
    QTest::newRow("plus and slash")
        << QByteArray(R"({"k":{"base64":"+/8="}})") << StoredValue(QByteArray("\xfb\xff"));
    QTest::newRow("url-safe alphabet") << QByteArray(R"({"k":{"base64":"-_8="}})") << StoredValue();
    QTest::newRow("character outside the alphabet")
        << QByteArray(R"({"k":{"base64":"a*k="}})") << StoredValue();
    QTest::newRow("number instead of text") << QByteArray(R"({"k":{"base64":5}})") << StoredValue();
    QTest::newRow("null instead of text")
        << QByteArray(R"({"k":{"base64":null}})") << StoredValue();
    QTest::newRow("key in other case") << QByteArray(R"({"k":{"Base64":"aGk="}})") << StoredValue();
    QTest::newRow("empty object") << QByteArray(R"({"k":{}})") << StoredValue();
    QTest::newRow("extra key beside base64")
        << QByteArray(R"({"k":{"base64":"aGk=","x":1}})") << StoredValue();
    QTest::newRow("array holding the text") << QByteArray(R"({"k":["aGk="]})") << StoredValue();
}

void JsonFileSettingsStoreTest::blobForm()
{
    QFETCH(QByteArray, file);
    QFETCH(StoredValue, expected);
    writeBytes(path(), file);
    verifyReads(path(), expected);
}

void JsonFileSettingsStoreTest::absentValueRemovesKey_data()
{
    QTest::addColumn<bool>("present");
    QTest::newRow("stored key") << true;
    QTest::newRow("key never stored") << false;
}

void JsonFileSettingsStoreTest::absentValueRemovesKey()
{
    QFETCH(bool, present);
    JsonFileSettingsStore store(path());
    store.set(QStringLiteral("keep"), SettingsValue(QStringLiteral("kept")));
    if (present)
        store.set(kKey, SettingsValue(qint64(1)));

    store.set(kKey, std::nullopt);
    QVERIFY(store.lastWriteError().isEmpty());
    QCOMPARE(readsOf(store, kKey), Reads{});

    const std::optional<QJsonObject> disk = diskObject(path());
    QVERIFY(disk);
    QCOMPARE(disk->keys(), QStringList{QStringLiteral("keep")});
    const JsonFileSettingsStore reader(path());
    QCOMPARE(readsOf(reader, kKey), Reads{});
    QCOMPARE(reader.text(QStringLiteral("keep")), QStringLiteral("kept"));
}

void JsonFileSettingsStoreTest::fileHoldsDocumentedForm()
{
    JsonFileSettingsStore store(path());
    store.set(QStringLiteral("int"), SettingsValue(qint64(42)));
    store.set(QStringLiteral("max"), SettingsValue(std::numeric_limits<qint64>::max()));
    store.set(QStringLiteral("bool"), SettingsValue(false));
    store.set(QStringLiteral("text"), SettingsValue(QStringLiteral("\u00e9 \"q\"")));
    store.set(QStringLiteral("blob"), SettingsValue(QByteArray("\x00\x01hi", 4)));

    // Read straight from the disk: every write is there when the setter returns.
    const std::optional<QJsonObject> disk = diskObject(path());
    QVERIFY2(disk, readBytes(path()).constData());
    const QJsonObject expected{
        {QStringLiteral("int"), 42},
        {QStringLiteral("max"), QJsonValue(std::numeric_limits<qint64>::max())},
        {QStringLiteral("bool"), false},
        {QStringLiteral("text"), QStringLiteral("\u00e9 \"q\"")},
        {QStringLiteral("blob"),
         QJsonObject{{QStringLiteral("base64"), QStringLiteral("AAFoaQ==")}}},
    };
    QCOMPARE(*disk, expected);
    // Integers are written as JSON integers, not as numbers with a fraction or exponent.
    QCOMPARE(json::exactInteger(disk->value(QStringLiteral("int"))), qint64(42));
    QCOMPARE(json::exactInteger(disk->value(QStringLiteral("max"))),
             std::numeric_limits<qint64>::max());
    // Nothing is left beside the file: no temporary copy, no lock.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("settings.json")});
}

void JsonFileSettingsStoreTest::permissions_data()
{
    QTest::addColumn<bool>("preexisting");
    QTest::newRow("folder and file created by the store") << false;
    QTest::newRow("folder and file already open to others") << true;
}

void JsonFileSettingsStoreTest::permissions()
{
    QFETCH(bool, preexisting);
    const QString folder = m_dir->path() + QStringLiteral("/config/corvane-monitor");
    const QString file = folder + QStringLiteral("/settings.json");
    if (preexisting) {
        writeBytes(file, "{}");
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0644), 0);
    }
    JsonFileSettingsStore store(file);
    store.set(kKey, SettingsValue(true));
    QVERIFY2(store.lastWriteError().isEmpty(), qPrintable(store.lastWriteError()));
    QCOMPARE(QString::number(modeOf(file), 8), QStringLiteral("600"));
    QCOMPARE(QString::number(modeOf(folder), 8), QStringLiteral("700"));
}

void JsonFileSettingsStoreTest::defaultFilePath_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QString>("expected"); // "~" stands for the home folder
    QTest::newRow("set") << true << QByteArray("/srv/cfg")
                         << QStringLiteral("/srv/cfg/corvane-monitor/settings.json");
    QTest::newRow("empty") << true << QByteArray()
                           << QStringLiteral("~/.config/corvane-monitor/settings.json");
    QTest::newRow("unset") << false << QByteArray()
                           << QStringLiteral("~/.config/corvane-monitor/settings.json");
    // Relative values are not base folders; the default applies.
    QTest::newRow("relative") << true << QByteArray("cfg")
                              << QStringLiteral("~/.config/corvane-monitor/settings.json");
}

void JsonFileSettingsStoreTest::defaultFilePath()
{
    QFETCH(bool, set);
    QFETCH(QByteArray, xdg);
    QFETCH(QString, expected);
    const QString home = m_dir->path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(home));
    qputenv("HOME", QFile::encodeName(home));
    if (set)
        qputenv("XDG_CONFIG_HOME", xdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
    expected.replace(QLatin1Char('~'), home);
    QCOMPARE(JsonFileSettingsStore::defaultFilePath(), expected);
}

void JsonFileSettingsStoreTest::unreadableFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("garbage") << QByteArray("not json at all {");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("array") << QByteArray(R"([{"k":1}])");
    QTest::newRow("string") << QByteArray(R"("k")");
    QTest::newRow("null") << QByteArray("null");
    QTest::newRow("truncated object") << QByteArray(R"({"k":1,"t":"x)");
    QTest::newRow("two objects") << QByteArray(R"({"k":1}{"k":2})");
    QTest::newRow("binary") << QByteArray("\x00\xff\x00\x7b", 4);
}

void JsonFileSettingsStoreTest::unreadableFile()
{
    QFETCH(QByteArray, bytes);
    writeBytes(path(), bytes);

    JsonFileSettingsStore store(path());
    QCOMPARE(readsOf(store, kKey), Reads{});
    QCOMPARE(readsOf(store, QStringLiteral("t")), Reads{});
    // Reading alone leaves the file where it is.
    QCOMPARE(readBytes(path()), bytes);
    const QDir dir(m_dir->path());
    const QStringList corruptPattern{QStringLiteral("settings.json.corrupt-*")};
    QVERIFY(dir.entryList(corruptPattern, QDir::Files | QDir::Hidden).isEmpty());

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    store.set(QStringLiteral("fresh"), SettingsValue(qint64(7)));
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    QVERIFY2(store.lastWriteError().isEmpty(), qPrintable(store.lastWriteError()));

    const QStringList aside = dir.entryList(corruptPattern, QDir::Files | QDir::Hidden);
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readBytes(dir.filePath(aside.first())), bytes);
    const std::optional<qint64> stamp =
        utcStampIn(aside.first().mid(QStringLiteral("settings.json.corrupt-").size()));
    QVERIFY2(stamp, qPrintable(aside.first()));
    QVERIFY2(*stamp >= before - 1 && *stamp <= after + 1,
             qPrintable(aside.first() + QStringLiteral(" is not a UTC time of the write")));

    QCOMPARE(diskObject(path()), QJsonObject({{QStringLiteral("fresh"), 7}}));

    // The next write finds a good file: nothing more is moved aside.
    store.set(QStringLiteral("second"), SettingsValue(true));
    QCOMPARE(dir.entryList(corruptPattern, QDir::Files | QDir::Hidden), aside);
    QCOMPARE(diskObject(path()),
             QJsonObject({{QStringLiteral("fresh"), 7}, {QStringLiteral("second"), true}}));
}

void JsonFileSettingsStoreTest::storesOnOneFileKeepEachOthersKeys()
{
    JsonFileSettingsStore first(path());
    JsonFileSettingsStore second(path());
    first.set(QStringLiteral("a"), SettingsValue(qint64(1)));
    second.set(QStringLiteral("b"), SettingsValue(qint64(2)));
    // Each write starts from what is on disk, so second now also knows the first's key.
    QCOMPARE(second.integer(QStringLiteral("a")), qint64(1));
    QCOMPARE(JsonFileSettingsStore(path()).integer(QStringLiteral("a")), qint64(1));
    QCOMPARE(JsonFileSettingsStore(path()).integer(QStringLiteral("b")), qint64(2));

    // A removal by one is not undone by the other's next write.
    first.set(QStringLiteral("a"), std::nullopt);
    second.set(QStringLiteral("c"), SettingsValue(qint64(3)));
    QCOMPARE(diskObject(path()), QJsonObject({{QStringLiteral("b"), 2}, {QStringLiteral("c"), 3}}));
    QCOMPARE(second.integer(QStringLiteral("a")), std::nullopt);
}

void JsonFileSettingsStoreTest::twoProcessesWritingAtOnce()
{
    constexpr int kKeys = 150;
    const QString writer = QStringLiteral(CORVANE_SETTINGS_WRITER);
    QVERIFY2(QFileInfo(writer).isExecutable(), qPrintable(writer));

    QProcess one;
    QProcess two;
    QSignalSpy oneDone(&one, &QProcess::finished);
    QSignalSpy twoDone(&two, &QProcess::finished);
    one.start(writer, {path(), QStringLiteral("one"), QString::number(kKeys)});
    two.start(writer, {path(), QStringLiteral("two"), QString::number(kKeys)});
    QVERIFY(one.waitForStarted(10000));
    QVERIFY(two.waitForStarted(10000));

    // Replacement is atomic: whenever the file is there, it is one whole JSON object.
    QStringList brokenReads;
    const bool finished = QTest::qWaitFor(
        [&] {
            if (QFileInfo::exists(path()) && !diskObject(path()) && QFileInfo::exists(path()))
                brokenReads << QString::fromUtf8(readBytes(path()).left(80));
            return oneDone.count() == 1 && twoDone.count() == 1;
        },
        120000);
    if (!finished) {
        one.kill();
        two.kill();
        one.waitForFinished(5000);
        two.waitForFinished(5000);
    }
    QVERIFY(finished);
    QVERIFY2(brokenReads.isEmpty(), qPrintable(brokenReads.join(QLatin1Char('\n'))));
    QCOMPARE(one.exitStatus(), QProcess::NormalExit);
    QVERIFY2(one.exitCode() == 0, one.readAllStandardError().constData());
    QCOMPARE(two.exitStatus(), QProcess::NormalExit);
    QVERIFY2(two.exitCode() == 0, two.readAllStandardError().constData());

    const std::optional<QJsonObject> disk = diskObject(path());
    QVERIFY(disk);
    QCOMPARE(disk->size(), 2 * kKeys + 2);
    const JsonFileSettingsStore reader(path());
    for (const QString& prefix : {QStringLiteral("one"), QStringLiteral("two")})
        for (qint64 n = 0; n < kKeys; ++n) {
            const QString key = prefix + QLatin1Char('.') + QString::number(n);
            QVERIFY2(reader.integer(key) == n, qPrintable(key + QStringLiteral(" lost")));
        }
    // Neither writer ever saw a half-written file.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("settings.json")});
}

void JsonFileSettingsStoreTest::writeThatCannotReachDiskStaysInMemory()
{
    // The folder cannot be created because a plain file holds its name.
    writeBytes(m_dir->path() + QStringLiteral("/blocked"), "x");
    JsonFileSettingsStore store(m_dir->path() + QStringLiteral("/blocked/settings.json"));
    store.set(kKey, SettingsValue(qint64(3)));
    QVERIFY(!store.lastWriteError().isEmpty());
    QCOMPARE(store.integer(kKey), qint64(3));
}

QTEST_GUILESS_MAIN(JsonFileSettingsStoreTest)
#include "JsonFileSettingsStoreTest.moc"
