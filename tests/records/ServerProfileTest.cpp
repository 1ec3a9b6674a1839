#include "RecordsTestSupport.h"

#include "platform/MemorySettingsStore.h"
#include "records/ServerProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QVariantMap>

using namespace corvane;
using corvane::test::pathText;
using corvane::test::with;
using corvane::test::without;

namespace {

const QString kPrefix = QStringLiteral("Invalid server profile list: ");
const QString kIdA = QStringLiteral("0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D");
const QString kIdB = QStringLiteral("7F00AA12-0000-4BCD-8EF0-123456789ABC");

const QStringList kAllKeys = {"id",
                              "name",
                              "host",
                              "user",
                              "port",
                              "keyFile",
                              "remoteCommand",
                              "enabled",
                              "requiredServices",
                              "discoverServices"};

ServerProfile profileA()
{
    return ServerProfile{.id = QUuid::fromString(kIdA),
                         .name = "web",
                         .host = "127.0.0.1",
                         .user = "ops",
                         .port = "2222",
                         .keyFile = "~/.ssh/id_ed25519",
                         .remoteCommand = "/opt/health --json",
                         .enabled = false,
                         .requiredServices = {"nginx", "cron"},
                         .discoverServices = false};
}

ServerProfile profileB()
{
    return ServerProfile{.id = QUuid::fromString(kIdB),
                         .name = QStringLiteral("b\u00e4ckup \"db\""),
                         .host = "db.internal",
                         .user = "root",
                         .port = "22",
                         .keyFile = "",
                         .remoteCommand = "sudo -n /usr/local/bin/corvane-health-json",
                         .enabled = true,
                         .requiredServices = {},
                         .discoverServices = true};
}

QJsonObject objectA()
{
    return QJsonObject{{"id", kIdA},
                       {"name", "web"},
                       {"host", "127.0.0.1"},
                       {"user", "ops"},
                       {"port", "2222"},
                       {"keyFile", "~/.ssh/id_ed25519"},
                       {"remoteCommand", "/opt/health --json"},
                       {"enabled", false},
                       {"requiredServices", QJsonArray{"nginx", "cron"}},
                       {"discoverServices", false}};
}

QJsonObject objectB()
{
    return QJsonObject{{"id", kIdB},
                       {"name", QStringLiteral("b\u00e4ckup \"db\"")},
                       {"host", "db.internal"},
                       {"user", "root"},
                       {"port", "22"},
                       {"keyFile", ""},
                       {"remoteCommand", "sudo -n /usr/local/bin/corvane-health-json"},
                       {"enabled", true},
                       {"requiredServices", QJsonArray{}},
                       {"discoverServices", true}};
}

// Two readable profiles, so a rejection can be placed in the second one.
QJsonArray storedList()
{
    return QJsonArray{objectA(), objectB()};
}

ServerProfile changed(ServerProfile profile, const std::function<void(ServerProfile&)>& change)
{
    change(profile);
    return profile;
}

bool isPrivateIPv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    int octets[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        octets[i] = parts.at(i).toInt(&ok);
        if (!ok || octets[i] < 0 || octets[i] > 255 || parts.at(i) != QString::number(octets[i]))
            return false;
    }
    return octets[0] == 10 || (octets[0] == 172 && octets[1] >= 16 && octets[1] <= 31) ||
           (octets[0] == 192 && octets[1] == 168);
}

void seed(MemorySettingsStore& store, const QVariantMap& values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        switch (it->typeId()) {
        case QMetaType::QString:
            store.set(it.key(), SettingsValue(it->toString()));
            break;
        case QMetaType::LongLong:
            store.set(it.key(), SettingsValue(it->toLongLong()));
            break;
        case QMetaType::Bool:
            store.set(it.key(), SettingsValue(it->toBool()));
            break;
        case QMetaType::QByteArray:
            store.set(it.key(), SettingsValue(it->toByteArray()));
            break;
        default:
            QFAIL("unsupported seed type");
        }
    }
}

} // namespace

class ServerProfileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newProfile();
    void equality_data();
    void equality();
    void encodeIsCompactWithEveryKey();
    void roundTrip_data();
    void roundTrip();
    void decodes_data();
    void decodes();
    void unknownKeyIsDroppedOnNextWrite();
    void rejects_data();
    void rejects();
    void errorTexts_data();
    void errorTexts();
    void legacyWithEmptyStore();
    void legacyReadsOlderKeys_data();
    void legacyReadsOlderKeys();
};

void ServerProfileTest::newProfile()
{
    const ServerProfile p;
    QVERIFY(!p.id.isNull());
    QCOMPARE(p.name, QStringLiteral("New Server"));
    QCOMPARE(p.host, QString());
    QCOMPARE(p.user, QString());
    QCOMPARE(p.port, QStringLiteral("22"));
    QCOMPARE(p.keyFile, QString());
    QCOMPARE(p.remoteCommand, QStringLiteral("/usr/local/bin/corvane-monitor-health-json"));
    QCOMPARE(p.enabled, true);
    QCOMPARE(p.requiredServices, QStringList());
    QCOMPARE(p.discoverServices, true);
    QVERIFY(ServerProfile().id != ServerProfile().id);
}

void ServerProfileTest::equality_data()
{
    QTest::addColumn<ServerProfile>("other");
    QTest::addColumn<bool>("equal");

    using P = ServerProfile&;
    QTest::newRow("copy") << profileA() << true;
    QTest::newRow("id") << changed(profileA(), [](P p) { p.id = QUuid::fromString(kIdB); })
                        << false;
    QTest::newRow("name") << changed(profileA(), [](P p) { p.name = "Web"; }) << false;
    QTest::newRow("host") << changed(profileA(), [](P p) { p.host = "127.0.0.2"; }) << false;
    QTest::newRow("user") << changed(profileA(), [](P p) { p.user = ""; }) << false;
    QTest::newRow("port") << changed(profileA(), [](P p) { p.port = "02222"; }) << false;
    QTest::newRow("keyFile") << changed(profileA(), [](P p) { p.keyFile = "~/.ssh/id_rsa"; })
                             << false;
    QTest::newRow("remoteCommand")
        << changed(profileA(), [](P p) { p.remoteCommand = "/opt/health"; }) << false;
    QTest::newRow("enabled") << changed(profileA(), [](P p) { p.enabled = true; }) << false;
    QTest::newRow("requiredServices order") << changed(profileA(), [](P p) {
        p.requiredServices = {"cron", "nginx"};
    }) << false;
    QTest::newRow("requiredServices extra")
        << changed(profileA(), [](P p) { p.requiredServices.append("sshd"); }) << false;
    QTest::newRow("discoverServices")
        << changed(profileA(), [](P p) { p.discoverServices = true; }) << false;
}

void ServerProfileTest::equality()
{
    QFETCH(ServerProfile, other);
    QFETCH(bool, equal);
    QCOMPARE(profileA() == other, equal);
    QCOMPARE(other == profileA(), equal);
}

void ServerProfileTest::encodeIsCompactWithEveryKey()
{
    const QString lowerId = QStringLiteral("abcdef01-2345-4678-9abc-def012345678");
    const QList<ServerProfile> profiles = {profileA(),
                                           ServerProfile{.id = QUuid::fromString(lowerId)}};
    const QByteArray encoded = encodeServerProfiles(profiles);

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(encoded, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(document.isArray());
    // Re-writing compactly changes nothing only if there was no insignificant whitespace.
    QCOMPARE(encoded, document.toJson(QJsonDocument::Compact));
    QVERIFY(!encoded.contains('\n'));

    QVERIFY(encoded.contains(lowerId.toUpper().toUtf8()));
    QVERIFY(!encoded.contains(lowerId.toUtf8()));

    const QJsonArray array = document.array();
    QCOMPARE(array.size(), profiles.size());
    static const QRegularExpression upperUuid(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    QStringList expectedKeys = kAllKeys;
    expectedKeys.sort();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonObject object = array.at(i).toObject();
        const ServerProfile& profile = profiles.at(i);
        QCOMPARE(object.keys(), expectedKeys);
        QVERIFY2(upperUuid.match(object.value("id").toString()).hasMatch(),
                 qPrintable(object.value("id").toString()));
        QCOMPARE(object.value("id").toString(), uuidText(profile.id));
        for (const char* key : {"name", "host", "user", "port", "keyFile", "remoteCommand"})
            QVERIFY2(object.value(key).isString(), key);
        QCOMPARE(object.value("port"), QJsonValue(profile.port));
        QCOMPARE(object.value("enabled"), QJsonValue(profile.enabled));
        QCOMPARE(object.value("discoverServices"), QJsonValue(profile.discoverServices));
        QCOMPARE(object.value("requiredServices"),
                 QJsonValue(QJsonArray::fromStringList(profile.requiredServices)));
    }
}

void ServerProfileTest::roundTrip_data()
{
    QTest::addColumn<QList<ServerProfile>>("profiles");
    QTest::newRow("empty list") << QList<ServerProfile>{};
    QTest::newRow("new profile") << QList<ServerProfile>{ServerProfile{}};
    QTest::newRow("two profiles, order kept") << QList<ServerProfile>{profileB(), profileA()};
    QTest::newRow("odd texts") << QList<ServerProfile>{
        ServerProfile{.name = QStringLiteral("\U0001F600 tab\t \\ \"q\""),
                      .host = "",
                      .user = QStringLiteral("\u00fc"),
                      .port = "not a port",
                      .keyFile = "C:\\keys\\id",
                      .remoteCommand = "echo '{}'\n",
                      .requiredServices = {"", "a b", "a b"}}};
}

void ServerProfileTest::roundTrip()
{
    QFETCH(QList<ServerProfile>, profiles);
    const Result<QList<ServerProfile>> decoded =
        decodeServerProfiles(encodeServerProfiles(profiles));
    QVERIFY2(decoded, qPrintable(decoded.ok() ? QString() : decoded.error()));
    QCOMPARE(*decoded, profiles);
}

void ServerProfileTest::decodes_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QList<ServerProfile>>("expected");

    const QJsonArray list = storedList();
    QTest::newRow("empty list") << QByteArray("[]") << QList<ServerProfile>{};
    QTest::newRow("whitespace around") << QByteArray(" \n[ ]\t\r\n") << QList<ServerProfile>{};
    QTest::newRow("every key") << test::compact(list)
                               << QList<ServerProfile>{profileA(), profileB()};

    const ServerProfile aDefaults = changed(profileA(), [](ServerProfile& p) {
        p.requiredServices.clear();
        p.discoverServices = true;
    });
    QTest::newRow("without the optional keys")
        << test::compact(test::editedValue(test::editedValue(list, {"0", "requiredServices"}, {}),
                                           {"0", "discoverServices"}, {}))
        << QList<ServerProfile>{aDefaults, profileB()};
    QTest::newRow("null optional keys")
        << test::compact(test::editedValue(
               test::editedValue(list, {"0", "requiredServices"}, QJsonValue::Null),
               {"0", "discoverServices"}, QJsonValue::Null))
        << QList<ServerProfile>{aDefaults, profileB()};
    QTest::newRow("discovery off stays off with services null")
        << with(list, "0.requiredServices", QJsonValue::Null)
        << QList<ServerProfile>{
               changed(profileA(), [](ServerProfile& p) { p.requiredServices.clear(); }),
               profileB()};
    QTest::newRow("lower-case id")
        << with(list, "0.id", kIdA.toLower()) << QList<ServerProfile>{profileA(), profileB()};

    QTest::newRow("keys in any order, unknown keys ignored")
        << QByteArray(
               R"([{"future":{"x":1},"discoverServices":false,"requiredServices":["nginx","cron"],)"
               R"("enabled":false,"remoteCommand":"/opt/health --json","keyFile":"~/.ssh/id_ed25519",)"
               R"("port":"2222","Port":22,"user":"ops","host":"127.0.0.1","name":"web",)"
               R"("id":"0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D"}])")
        << QList<ServerProfile>{profileA()};

    // Texts are taken as they are; checking them is the ssh runner's job.
    QTest::newRow("empty texts and a port that is not a number")
        << QByteArray(R"([{"id":"0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D","name":"","host":"",)"
                      R"("user":"","port":"ssh","keyFile":"","remoteCommand":"","enabled":true}])")
        << QList<ServerProfile>{ServerProfile{.id = QUuid::fromString(kIdA),
                                              .name = "",
                                              .host = "",
                                              .user = "",
                                              .port = "ssh",
                                              .keyFile = "",
                                              .remoteCommand = ""}};

    QTest::newRow("nil UUID is a UUID")
        << with(list, "1.id", "00000000-0000-0000-0000-000000000000")
        << QList<ServerProfile>{profileA(),
                                changed(profileB(), [](ServerProfile& p) { p.id = QUuid(); })};
}

void ServerProfileTest::decodes()
{
    QFETCH(QByteArray, json);
    QFETCH(QList<ServerProfile>, expected);
    const Result<QList<ServerProfile>> result = decodeServerProfiles(json);
    QVERIFY2(result, qPrintable(result.ok() ? QString() : result.error()));
    QCOMPARE(*result, expected);
}

void ServerProfileTest::unknownKeyIsDroppedOnNextWrite()
{
    const Result<QList<ServerProfile>> decoded =
        decodeServerProfiles(with(storedList(), "1.future", QJsonObject{{"x", 1}}));
    QVERIFY2(decoded, qPrintable(decoded.ok() ? QString() : decoded.error()));
    const QByteArray written = encodeServerProfiles(*decoded);
    QVERIFY2(!written.contains("future"), written.constData());
    QCOMPARE(written, encodeServerProfiles({profileA(), profileB()}));
}

void ServerProfileTest::rejects_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("where");

    const QJsonArray list = storedList();
    const QString notJson = QStringLiteral("not valid JSON at byte ");

    QTest::newRow("empty input") << QByteArray() << notJson;
    QTest::newRow("object instead of a list") << test::compact(objectA()) << "the document";
    QTest::newRow("number") << QByteArray("1") << notJson;
    QTest::newRow("string") << QByteArray("\"[]\"") << notJson;
    QTest::newRow("null") << QByteArray("null") << notJson;
    QTest::newRow("unclosed list") << test::compact(list).chopped(1) << notJson;
    QTest::newRow("garbage after the list") << test::compact(list) + "x" << notJson;

    QTest::newRow("element is a number") << QByteArray("[1]") << "[0] must be an object";
    QTest::newRow("element is null") << QByteArray("[null]") << "[0] must be an object";
    QTest::newRow("element is a list") << QByteArray("[[]]") << "[0] must be an object";
    QTest::newRow("second element is a string")
        << with(list, "1", "profile") << "[1] must be an object";

    for (const QString& key : kAllKeys.mid(0, 8)) {
        QTest::addRow("missing %s", qPrintable(key))
            << without(list, "1." + key) << "missing " + pathText("1." + key);
        QTest::addRow("null %s", qPrintable(key))
            << with(list, "1." + key, QJsonValue::Null) << "missing " + pathText("1." + key);
    }

    const struct
    {
        const char* path;
        QJsonValue value;
    } wrongTypes[] = {
        {"0.id", 5},
        {"0.id", QJsonArray{kIdA}},
        {"0.name", 1},
        {"0.host", QJsonObject{}},
        {"0.user", true},
        {"0.port", 22},
        {"0.port", QJsonArray{"22"}},
        {"0.keyFile", QJsonArray{}},
        {"0.remoteCommand", false},
        {"0.enabled", "true"},
        {"0.enabled", 1},
        {"0.requiredServices", "nginx"},
        {"0.requiredServices", QJsonObject{{"nginx", true}}},
        {"0.requiredServices.1", 7},
        {"0.requiredServices.0", QJsonValue::Null},
        {"1.discoverServices", "false"},
        {"1.discoverServices", 0},
    };
    for (const auto& row : wrongTypes)
        QTest::addRow("%s as %s", row.path, test::compact(QJsonArray{row.value}).constData())
            << with(list, row.path, row.value) << pathText(row.path) + " must be";

    for (const char* id : {
             "{0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D}",
             "0B3E1D9C5A7F4C2B9E1D3F5A7C9B1E2D",
             "0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2",
             "0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D0",
             "0B3E1D9G-5A7F-4C2B-9E1D-3F5A7C9B1E2D",
             "0B3E1D9C5-A7F-4C2B-9E1D-3F5A7C9B1E2D",
             "urn:uuid:0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D",
             " 0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D",
             "0B3E1D9C-5A7F-4C2B-9E1D-3F5A7C9B1E2D ",
             "",
             "web",
         })
        QTest::addRow("id '%s'", id)
            << with(list, "0.id", id) << QStringLiteral("[0].\"id\" is \"%1\", not a UUID").arg(id);
}

void ServerProfileTest::rejects()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, where);
    const Result<QList<ServerProfile>> result = decodeServerProfiles(json);
    QVERIFY2(!result, json.constData());
    const QString& error = result.error();
    QVERIFY2(error.startsWith(kPrefix), qPrintable(error));
    QVERIFY2(!error.contains(QLatin1Char('\n')), qPrintable(error));
    QVERIFY2(error.contains(where), qPrintable(error + " does not name " + where));
}

void ServerProfileTest::errorTexts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");

    const QJsonArray list = storedList();
    QTest::newRow("not a list") << QByteArray("{}")
                                << "Invalid server profile list: the document must be a JSON array";
    QTest::newRow("port as a number")
        << with(list, "0.port", 22)
        << R"(Invalid server profile list: [0]."port" must be a string)";
    QTest::newRow("missing id") << without(list, "0.id")
                                << R"(Invalid server profile list: missing [0]."id")";
    QTest::newRow("id in braces")
        << with(list, "1.id", "{" + kIdB + "}")
        << R"(Invalid server profile list: [1]."id" is "{7F00AA12-0000-4BCD-8EF0-123456789ABC}", not a UUID)";
    QTest::newRow("enabled as text")
        << with(list, "1.enabled", "yes")
        << R"(Invalid server profile list: [1]."enabled" must be true or false)";
    QTest::newRow("element not an object")
        << QByteArray("[true]") << "Invalid server profile list: [0] must be an object";
    QTest::newRow("required service not a string")
        << with(list, "0.requiredServices.1", 3)
        << R"(Invalid server profile list: [0]."requiredServices"[1] must be a string)";
}

void ServerProfileTest::errorTexts()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    const Result<QList<ServerProfile>> result = decodeServerProfiles(json);
    QVERIFY(!result);
    QCOMPARE(result.error(), error);
}

void ServerProfileTest::legacyWithEmptyStore()
{
    const MemorySettingsStore store;
    const ServerProfile p = ServerProfile::legacy(store);
    QVERIFY(!p.id.isNull());
    QCOMPARE(p.name, QStringLiteral("Corvane"));
    QVERIFY2(isPrivateIPv4(p.host), qPrintable(p.host));
    QCOMPARE(p.user, QStringLiteral("opsuser"));
    QCOMPARE(p.port, QStringLiteral("22"));
    QCOMPARE(p.keyFile, QString());
    QCOMPARE(p.remoteCommand, QStringLiteral("sudo -n /usr/local/bin/corvane-health-json"));
    QCOMPARE(p.enabled, true);
    QCOMPARE(p.requiredServices, QStringList());
    QCOMPARE(p.discoverServices, true);

    const ServerProfile again = ServerProfile::legacy(store);
    QVERIFY(again.id != p.id);
    QCOMPARE(again.host, p.host);
    QVERIFY(store.writes().isEmpty());
}

void ServerProfileTest::legacyReadsOlderKeys_data()
{
    QTest::addColumn<QVariantMap>("stored");
    // A null expectation means the fixed value of an empty store.
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("keyFile");

    QTest::newRow("every older key") << QVariantMap{{"server.host", "127.0.0.1"},
                                                    {"server.user", "deploy"},
                                                    {"server.port", "2222"},
                                                    {"server.keyFile", "~/.ssh/id_ed25519"}}
                                     << "127.0.0.1"
                                     << "deploy"
                                     << "2222"
                                     << "~/.ssh/id_ed25519";
    QTest::newRow("empty texts are used unchanged") << QVariantMap{{"server.host", ""},
                                                                   {"server.user", ""},
                                                                   {"server.port", ""},
                                                                   {"server.keyFile", ""}}
                                                    << ""
                                                    << ""
                                                    << ""
                                                    << "";
    QTest::newRow("port text unchanged") << QVariantMap{{"server.port", " 0022 "}} << QString()
                                         << QString() << " 0022 " << QString();
    QTest::newRow("only the user")
        << QVariantMap{{"server.user", "admin"}} << QString() << "admin" << QString() << QString();
    QTest::newRow("values that are not text count as absent")
        << QVariantMap{{"server.host", QVariant::fromValue<qlonglong>(5)},
                       {"server.user", true},
                       {"server.port", QVariant::fromValue<qlonglong>(2222)},
                       {"server.keyFile", QByteArray("~/.ssh/id")}}
        << QString() << QString() << QString() << QString();
    QTest::newRow("other keys are not read")
        << QVariantMap{{"server.name", "Old"},
                       {"server.remoteCommand", "/bin/true"},
                       {"Server.host", "127.0.0.9"},
                       {"monitor.serverProfiles.v1", QByteArray("[]")}}
        << QString() << QString() << QString() << QString();
}

void ServerProfileTest::legacyReadsOlderKeys()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(QString, port);
    QFETCH(QString, keyFile);

    const ServerProfile fallback = ServerProfile::legacy(MemorySettingsStore());
    MemorySettingsStore store;
    seed(store, stored);
    const qsizetype writes = store.writes().size();

    const ServerProfile p = ServerProfile::legacy(store);
    QCOMPARE(p.host, host.isNull() ? fallback.host : host);
    QCOMPARE(p.user, user.isNull() ? fallback.user : user);
    QCOMPARE(p.port, port.isNull() ? fallback.port : port);
    QCOMPARE(p.keyFile, keyFile.isNull() ? fallback.keyFile : keyFile);
    QCOMPARE(p.name, QStringLiteral("Corvane"));
    QCOMPARE(p.remoteCommand, QStringLiteral("sudo -n /usr/local/bin/corvane-health-json"));
    QCOMPARE(p.enabled, true);
    QCOMPARE(p.requiredServices, QStringList());
    QCOMPARE(p.discoverServices, true);
    QCOMPARE(store.writes().size(), writes);
}

QTEST_GUILESS_MAIN(ServerProfileTest)
#include "ServerProfileTest.moc"
