#include "RecordsTestSupport.h"
#include "TestSupport.h"

#include "records/HealthReportJson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

using namespace corvane;
using corvane::test::pathText;
using corvane::test::with;
using corvane::test::without;

namespace {

const QString kPrefix = QStringLiteral("Invalid health report: ");

// A valid document that has every key, so any path a rejection names exists in it.
QJsonObject richDocument()
{
    QJsonArray checks;
    for (int i = 0; i < 100; ++i)
        checks.append(QJsonObject{{"name", QStringLiteral("check-%1").arg(i)},
                                  {"status", "ok"},
                                  {"detail", "fine"},
                                  {"section", "disk"}});
    return QJsonObject{
        {"schema", 1},
        {"host", "db-01"},
        {"generatedAt", "2024-05-01T12:00:00Z"},
        {"uptimeSeconds", 90061},
        {"overall", "warn"},
        {"counts", QJsonObject{{"ok", 100}, {"warn", 1}, {"fail", 0}}},
        {"groups",
         QJsonArray{
             QJsonObject{{"name", "disk"}, {"status", "warn"}, {"missing", QJsonArray{"/srv"}}},
             QJsonObject{{"name", "services"}, {"status", "ok"}, {"missing", QJsonArray{}}}}},
        {"checks", checks},
        {"diagnostics", "agent 2.1"},
        {"services",
         QJsonArray{QJsonObject{{"name", "nginx"}, {"state", "running"}, {"detail", "active"}},
                    QJsonObject{{"name", "cron"}, {"state", "stopped"}, {"detail", ""}}}},
    };
}

HealthReport richReport()
{
    QList<HealthCheck> checks;
    for (int i = 0; i < 100; ++i)
        checks.append(
            HealthCheck{QStringLiteral("check-%1").arg(i), HealthStatus::ok, "fine", "disk"});
    return HealthReport{
        .schema = 1,
        .host = "db-01",
        .generatedAt = "2024-05-01T12:00:00Z",
        .uptimeSeconds = 90061,
        .overall = HealthStatus::warn,
        .counts = {100, 1, 0},
        .groups = {{"disk", HealthStatus::warn, {"/srv"}}, {"services", HealthStatus::ok, {}}},
        .checks = checks,
        .diagnostics = "agent 2.1",
        .services =
            QList<DiscoveredService>{{"nginx", "running", "active"}, {"cron", "stopped", ""}},
    };
}

const QByteArray kMinimal = test::minimalReport();

// The minimal document with one more member, written as raw text so that numbers the
// writer could not represent reach the reader unchanged.
QByteArray minimalPlus(const QByteArray& member)
{
    QByteArray json = kMinimal;
    json.insert(json.lastIndexOf('}'), "," + member);
    return json;
}

QByteArray withNul(QByteArray json, qsizetype at)
{
    json.insert(at, QByteArray(1, '\0'));
    return json;
}

} // namespace

class HealthReportJsonTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void accepts_data();
    void accepts();
    void rejects_data();
    void rejects();
    void errorTexts_data();
    void errorTexts();
    void duplicateKeysKeepTheLastValue_data();
    void duplicateKeysKeepTheLastValue();
    void decodesLargeReport();
    void roundTrip_data();
    void roundTrip();
    void encodingOmitsAbsentKeys_data();
    void encodingOmitsAbsentKeys();
};

void HealthReportJsonTest::accepts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<HealthReport>("expected");

    const HealthReport minimal{.overall = HealthStatus::warn, .counts = {3, 2, 1}};
    const QByteArray minimalJson =
        R"({"schema":1,"overall":"warn","counts":{"ok":3,"warn":2,"fail":1},"groups":[],"checks":[]})";

    QTest::newRow("minimal") << minimalJson << minimal;

    QTest::newRow("every optional key")
        << QByteArray(
               R"({"schema":1,"host":"db-01","generatedAt":"2024-05-01T12:00:00Z",)"
               R"("uptimeSeconds":90061,"overall":"fail","counts":{"ok":5,"warn":1,"fail":1},)"
               R"("groups":[{"name":"disk","status":"warn","missing":["/srv","/data"]},)"
               R"({"name":"services","status":"fail","missing":[]}],)"
               R"("checks":[{"name":"root","status":"ok","detail":"41% used","section":"disk"},)"
               R"({"name":"srv","status":"warn","detail":"not mounted","section":"disk"},)"
               R"({"name":"nginx","status":"fail","detail":"inactive","section":"services"}],)"
               R"("diagnostics":"agent 2.1\nall probes ran",)"
               R"("services":[{"name":"nginx","state":"failed","detail":"exit 1"},)"
               R"({"name":"cron","state":"running","detail":""}]})")
        << HealthReport{
               .schema = 1,
               .host = "db-01",
               .generatedAt = "2024-05-01T12:00:00Z",
               .uptimeSeconds = 90061,
               .overall = HealthStatus::fail,
               .counts = {5, 1, 1},
               .groups = {{"disk", HealthStatus::warn, {"/srv", "/data"}},
                          {"services", HealthStatus::fail, {}}},
               .checks = {{"root", HealthStatus::ok, "41% used", "disk"},
                          {"srv", HealthStatus::warn, "not mounted", "disk"},
                          {"nginx", HealthStatus::fail, "inactive", "services"}},
               .diagnostics = "agent 2.1\nall probes ran",
               .services =
                   QList<DiscoveredService>{{"nginx", "failed", "exit 1"}, {"cron", "running", ""}},
           };

    QTest::newRow("null optional keys are missing")
        << QByteArray(
               R"({"schema":1,"host":null,"generatedAt":null,"uptimeSeconds":null,)"
               R"("overall":"warn","counts":{"ok":3,"warn":2,"fail":1},"groups":[],"checks":[],)"
               R"("diagnostics":null,"services":null})")
        << minimal;

    QTest::newRow("empty services list is not an absent one")
        << QByteArray(R"({"schema":1,"overall":"warn","counts":{"ok":3,"warn":2,"fail":1},)"
                      R"("groups":[],"checks":[],"services":[]})")
        << HealthReport{.overall = HealthStatus::warn,
                        .counts = {3, 2, 1},
                        .services = QList<DiscoveredService>{}};

    QTest::newRow("unknown keys at every level are ignored")
        << QByteArray(
               R"({"schema":1,"agent":{"version":"2"},"Overall":"fail","overall":"ok",)"
               R"("counts":{"ok":1,"warn":0,"fail":0,"skipped":4},)"
               R"("groups":[{"name":"disk","status":"ok","missing":[],"weight":3}],)"
               R"("checks":[{"name":"root","status":"ok","detail":"","section":"disk","ms":12}],)"
               R"("services":[{"name":"cron","state":"running","detail":"","pid":1}],"extra":[null]})")
        << HealthReport{.overall = HealthStatus::ok,
                        .counts = {1, 0, 0},
                        .groups = {{"disk", HealthStatus::ok, {}}},
                        .checks = {{"root", HealthStatus::ok, "", "disk"}},
                        .services = QList<DiscoveredService>{{"cron", "running", ""}}};

    QTest::newRow("whitespace around the document")
        << " \t\r\n" + minimalJson + "\n\n \t" << minimal;

    QTest::newRow("keys in any order")
        << QByteArray(R"({"checks":[],"groups":[],"counts":{"fail":1,"warn":2,"ok":3},)"
                      R"("overall":"warn","schema":1})")
        << minimal;

    for (const HealthStatus status : {HealthStatus::ok, HealthStatus::warn, HealthStatus::fail}) {
        const QByteArray raw = rawText(status).toUtf8();
        QTest::addRow("overall %s", raw.constData())
            << QByteArray(R"({"schema":1,"overall":")" + raw +
                          R"(","counts":{"ok":3,"warn":2,"fail":1},"groups":[],"checks":[]})")
            << HealthReport{.overall = status, .counts = {3, 2, 1}};
        QTest::addRow("group status %s", raw.constData())
            << QByteArray(R"({"schema":1,"overall":"warn","counts":{"ok":3,"warn":2,"fail":1},)"
                          R"("groups":[{"name":"g","status":")" +
                          raw + R"(","missing":["a"]}],"checks":[]})")
            << HealthReport{.overall = HealthStatus::warn,
                            .counts = {3, 2, 1},
                            .groups = {{"g", status, {"a"}}}};
        QTest::addRow("check status %s", raw.constData())
            << QByteArray(R"({"schema":1,"overall":"warn","counts":{"ok":3,"warn":2,"fail":1},)"
                          R"("groups":[],"checks":[{"name":"c","status":")" +
                          raw + R"(","detail":"d","section":"s"}]})")
            << HealthReport{.overall = HealthStatus::warn,
                            .counts = {3, 2, 1},
                            .checks = {{"c", status, "d", "s"}}};
    }

    QTest::newRow("service states are free text")
        << QByteArray(
               R"({"schema":1,"overall":"warn","counts":{"ok":3,"warn":2,"fail":1},)"
               R"("groups":[],"checks":[],"services":[{"name":"a","state":"Running","detail":""},)"
               R"({"name":"b","state":"","detail":"x"}]})")
        << HealthReport{.overall = HealthStatus::warn,
                        .counts = {3, 2, 1},
                        .services = QList<DiscoveredService>{{"a", "Running", ""}, {"b", "", "x"}}};

    // Checked later by the refresh cycle, not by the reader.
    QTest::newRow("schema other than 1 is readable")
        << QByteArray(R"({"schema":2,"overall":"warn","counts":{"ok":3,"warn":2,"fail":1},)"
                      R"("groups":[],"checks":[]})")
        << HealthReport{.schema = 2, .overall = HealthStatus::warn, .counts = {3, 2, 1}};

    // The reader keeps no difference between 1 and 1.0.
    QTest::newRow("integral fraction reads as the integer")
        << QByteArray(R"({"schema":1.0,"overall":"warn","counts":{"ok":3.0,"warn":2,"fail":1e0},)"
                      R"("groups":[],"checks":[]})")
        << minimal;

    QTest::newRow("64-bit extremes")
        << QByteArray(R"({"schema":1,"uptimeSeconds":9223372036854775807,"overall":"ok",)"
                      R"("counts":{"ok":9223372036854775807,"warn":-9223372036854775808,"fail":0},)"
                      R"("groups":[],"checks":[]})")
        << HealthReport{.uptimeSeconds = std::numeric_limits<qint64>::max(),
                        .overall = HealthStatus::ok,
                        .counts = {std::numeric_limits<qint64>::max(),
                                   std::numeric_limits<qint64>::min(), 0}};

    QTest::newRow("negative uptime is kept")
        << QByteArray(R"({"schema":1,"uptimeSeconds":-5,"overall":"ok",)"
                      R"("counts":{"ok":0,"warn":0,"fail":0},"groups":[],"checks":[]})")
        << HealthReport{.uptimeSeconds = -5, .overall = HealthStatus::ok};

    QTest::newRow("escapes and non-ASCII text")
        << QByteArray(R"({"schema":1,"host":"caf\u00e9 \"main\" \\ \/","overall":"ok",)"
                      R"("counts":{"ok":0,"warn":0,"fail":0},"groups":[],)"
                      "\"checks\":[{\"name\":\"\xc3\xbc"
                      "ber\",\"status\":\"ok\",\"detail\":"
                      "\"\\ud83d\\ude00\","
                      "\"section\":\"\xe2\x82\xac\"}]}")
        << HealthReport{.host = QStringLiteral("caf\u00e9 \"main\" \\ /"),
                        .overall = HealthStatus::ok,
                        .checks = {{QStringLiteral("\u00fcber"), HealthStatus::ok,
                                    QStringLiteral("\U0001F600"), QStringLiteral("\u20ac")}}};

    QTest::newRow("fixture with a hundred checks") << test::compact(richDocument()) << richReport();
}

void HealthReportJsonTest::accepts()
{
    QFETCH(QByteArray, json);
    QFETCH(HealthReport, expected);
    const Result<HealthReport> result = decodeHealthReport(json);
    QVERIFY2(result, qPrintable(result.ok() ? QString() : result.error()));
    QCOMPARE(*result, expected);
}

void HealthReportJsonTest::rejects_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("where");

    const QJsonObject rich = richDocument();

    const QStringList required = {
        "schema",           "overall",           "counts",           "counts.ok",
        "counts.warn",      "counts.fail",       "groups",           "checks",
        "groups.1.name",    "groups.1.status",   "groups.1.missing", "checks.7.name",
        "checks.7.status",  "checks.7.detail",   "checks.7.section", "services.1.name",
        "services.1.state", "services.1.detail",
    };
    for (const QString& path : required) {
        QTest::addRow("missing %s", qPrintable(path))
            << without(rich, path) << "missing " + pathText(path);
        QTest::addRow("null %s", qPrintable(path))
            << with(rich, path, QJsonValue::Null) << "missing " + pathText(path);
    }

    const struct
    {
        const char* path;
        QJsonValue value;
    } wrongTypes[] = {
        {"schema", "1"},
        {"schema", true},
        {"host", 5},
        {"generatedAt", false},
        {"uptimeSeconds", "90061"},
        {"overall", 1},
        {"overall", QJsonArray{"ok"}},
        {"counts", QJsonArray{1, 0, 0}},
        {"counts", "1/0/0"},
        {"counts.ok", "1"},
        {"counts.warn", true},
        {"groups", QJsonObject{}},
        {"groups.0", "disk"},
        {"groups.0.name", 5},
        {"groups.0.status", QJsonObject{}},
        {"groups.0.missing", "/srv"},
        {"groups.0.missing.0", 3},
        {"checks", "none"},
        {"checks.99", QJsonValue::Null},
        {"checks.99.name", QJsonArray{}},
        {"checks.99.detail", 1},
        {"checks.99.section", false},
        {"diagnostics", 5},
        {"services", QJsonObject{}},
        {"services.0", "nginx"},
        {"services.0.state", 1},
        {"services.1.detail", false},
    };
    for (const auto& row : wrongTypes)
        QTest::addRow("%s as %s", row.path, test::compact(QJsonArray{row.value}).constData())
            << with(rich, row.path, row.value) << pathText(row.path);

    for (const char* path : {"overall", "groups.1.status", "checks.41.status"})
        for (const char* status : {"OK", "Warn", "FAIL", "critical", "unknown", "", " ok", "ok "})
            QTest::addRow("status '%s' in %s", status, path)
                << with(rich, path, status) << pathText(path) + " is \"" + status + "\"";

    QTest::newRow("fraction in schema") << with(rich, "schema", 1.5) << "\"schema\"";
    QTest::newRow("fraction in counts") << with(rich, "counts.fail", 0.5) << "\"counts\".\"fail\"";
    QTest::newRow("negative fraction in uptime")
        << with(rich, "uptimeSeconds", -0.5) << "\"uptimeSeconds\"";
    QTest::newRow("uptime above 64 bits")
        << minimalPlus(R"("uptimeSeconds":9223372036854775808)") << "\"uptimeSeconds\"";
    QTest::newRow("uptime below 64 bits")
        << minimalPlus(R"("uptimeSeconds":-9223372036854775809)") << "\"uptimeSeconds\"";
    QTest::newRow("uptime far below 64 bits")
        << minimalPlus(R"("uptimeSeconds":-9223372036854777856)") << "\"uptimeSeconds\"";
    QTest::newRow("count of twenty digits")
        << QByteArray(R"({"schema":1,"overall":"ok","counts":{"ok":99999999999999999999,)"
                      R"("warn":0,"fail":0},"groups":[],"checks":[]})")
        << "\"counts\".\"ok\"";
    QTest::newRow("schema as 1e300") << minimalPlus(R"("schema":1e300)") << "\"schema\"";
    QTest::newRow("number beyond double")
        << minimalPlus(R"("uptimeSeconds":1e400)") << "not valid JSON at byte";

    const QString notJson = QStringLiteral("not valid JSON at byte ");
    QTest::newRow("empty input") << QByteArray() << notJson;
    QTest::newRow("whitespace only") << QByteArray(" \n\t\r ") << notJson;
    QTest::newRow("invalid UTF-8 in a string") << minimalPlus("\"host\":\"db\xff\xfe\"") << notJson;
    QTest::newRow("overlong UTF-8 in a string") << minimalPlus("\"host\":\"\xc0\xaf\"") << notJson;
    QTest::newRow("invalid UTF-8 before the document") << "\xff" + kMinimal << notJson;
    QTest::newRow("NUL byte trailing") << kMinimal + QByteArray(1, '\0') << notJson;
    QTest::newRow("NUL byte between tokens")
        << withNul(kMinimal, kMinimal.indexOf(':') + 1) << notJson;
    QTest::newRow("NUL byte after the opening brace") << withNul(kMinimal, 1) << notJson;
    QTest::newRow("NUL byte inside a string")
        << minimalPlus(QByteArray("\"host\":\"db") + '\0' + "01\"") << notJson;
    QTest::newRow("raw line break inside a string")
        << minimalPlus("\"host\":\"db\n01\"") << notJson;
    QTest::newRow("top-level array") << "[" + kMinimal + "]"
                                     << "the document";
    QTest::newRow("top-level empty array") << QByteArray("[]") << "the document";
    QTest::newRow("top-level number") << QByteArray("1") << notJson;
    QTest::newRow("top-level string") << QByteArray("\"ok\"") << notJson;
    QTest::newRow("top-level null") << QByteArray("null") << notJson;
    QTest::newRow("arrays nested 100000 deep")
        << minimalPlus("\"x\":" + QByteArray(100000, '[') + QByteArray(100000, ']')) << notJson;
    QByteArray objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"a\":";
    objects += "1" + QByteArray(100000, '}');
    QTest::newRow("objects nested 100000 deep") << objects << notJson;
    QTest::newRow("trailing garbage") << kMinimal + "x" << notJson;
    QTest::newRow("log line after the document") << kMinimal + "\nexit status 0\n" << notJson;
    QTest::newRow("second document") << kMinimal + "\n" + kMinimal << notJson;
    QTest::newRow("banner before the document") << "Welcome to db-01\n" + kMinimal << notJson;
    QTest::newRow("form feed is not whitespace") << "\f" + kMinimal << notJson;
    QTest::newRow("trailing comma") << minimalPlus("") << notJson;
    QTest::newRow("single quotes") << minimalPlus("'host':'db'") << notJson;
    QTest::newRow("comment") << minimalPlus("/* note */ \"host\":\"db\"") << notJson;
    QTest::newRow("leading zero") << minimalPlus("\"uptimeSeconds\":01") << notJson;
    QTest::newRow("plus sign") << minimalPlus("\"uptimeSeconds\":+1") << notJson;
    QTest::newRow("NaN") << minimalPlus("\"uptimeSeconds\":NaN") << notJson;
    QTest::newRow("unclosed document") << kMinimal.chopped(1) << notJson;
}

void HealthReportJsonTest::rejects()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, where);
    const Result<HealthReport> result = decodeHealthReport(json);
    // The reader rounds the number to a double first, and -2^63 fits.
    QEXPECT_FAIL("uptime below 64 bits",
                 "Qt's reader stores -9223372036854775809 as the whole double -2^63", Abort);
    QVERIFY2(!result, qPrintable(QString::fromUtf8(json.left(200))));
    const QString& error = result.error();
    QVERIFY2(error.startsWith(kPrefix), qPrintable(error));
    QVERIFY2(error.size() > kPrefix.size(), qPrintable(error));
    QVERIFY2(!error.contains(QLatin1Char('\n')) && !error.contains(QLatin1Char('\r')),
             qPrintable(error));
    QVERIFY2(error.contains(where), qPrintable(error + " does not name " + where));
}

void HealthReportJsonTest::errorTexts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");

    const QJsonObject rich = richDocument();
    QTest::newRow("missing overall")
        << without(rich, "overall") << R"(Invalid health report: missing "overall")";
    QTest::newRow("missing nested key")
        << without(rich, "groups.1.missing")
        << R"(Invalid health report: missing "groups"[1]."missing")";
    QTest::newRow("count of the wrong type")
        << with(rich, "counts.fail", "0")
        << R"(Invalid health report: "counts"."fail" must be an integer)";
    QTest::newRow("unknown check status")
        << with(rich, "checks.41.status", "unknown")
        << R"(Invalid health report: "checks"[41]."status" is "unknown" (expected "ok", "warn" or "fail"))";
    QTest::newRow("status with a line break stays on one line")
        << with(rich, "overall", "ok\n")
        << R"(Invalid health report: "overall" is "ok\u000a" (expected "ok", "warn" or "fail"))";
    QTest::newRow("fraction") << with(rich, "uptimeSeconds", 1.5)
                              << R"(Invalid health report: "uptimeSeconds" must be an integer)";
    QTest::newRow("beyond 64 bits")
        << minimalPlus(R"("uptimeSeconds":9223372036854775808)")
        << R"(Invalid health report: "uptimeSeconds" is out of range for a 64-bit integer)";
    QTest::newRow("trailing garbage")
        << kMinimal + " x"
        << QStringLiteral("Invalid health report: not valid JSON at byte %1 (garbage at the end "
                          "of the document)")
               .arg(kMinimal.size() + 1);
    QTest::newRow("empty input")
        << QByteArray()
        << "Invalid health report: not valid JSON at byte 0 (the document is empty)";
    QTest::newRow("top-level array")
        << QByteArray("[]") << "Invalid health report: the document must be a JSON object";
}

void HealthReportJsonTest::errorTexts()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    const Result<HealthReport> result = decodeHealthReport(json);
    QVERIFY(!result);
    QCOMPARE(result.error(), error);
}

void HealthReportJsonTest::duplicateKeysKeepTheLastValue_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<HealthReport>("expected");

    const auto doc = [](const char* members) {
        return QByteArray(R"({"schema":1,)") + members +
               R"(,"counts":{"ok":0,"warn":0,"fail":0},"groups":[],"checks":[]})";
    };
    QTest::newRow("two valid values") << doc(R"("overall":"fail","overall":"ok")") << true
                                      << HealthReport{.overall = HealthStatus::ok};
    QTest::newRow("invalid first value is replaced")
        << doc(R"("overall":"bogus","overall":"warn")") << true
        << HealthReport{.overall = HealthStatus::warn};
    QTest::newRow("valid first value does not rescue an invalid last")
        << doc(R"("overall":"ok","overall":"bogus")") << false << HealthReport{};
    QTest::newRow("null last makes an optional key absent")
        << doc(R"("host":"db-01","host":null,"overall":"ok")") << true
        << HealthReport{.overall = HealthStatus::ok};
    QTest::newRow("inside a check")
        << QByteArray(R"({"schema":1,"overall":"ok","counts":{"ok":0,"warn":0,"fail":0},)"
                      R"("groups":[],"checks":[{"name":"a","status":"ok","status":"fail",)"
                      R"("detail":"","section":"s","name":"b"}]})")
        << true
        << HealthReport{.overall = HealthStatus::ok,
                        .checks = {{"b", HealthStatus::fail, "", "s"}}};
}

void HealthReportJsonTest::duplicateKeysKeepTheLastValue()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, readable);
    QFETCH(HealthReport, expected);
    const Result<HealthReport> result = decodeHealthReport(json);
    QCOMPARE(result.ok(), readable);
    if (readable)
        QCOMPARE(*result, expected);
}

void HealthReportJsonTest::decodesLargeReport()
{
    constexpr int kChecks = 100000;
    const QByteArray padding(80, 'x');
    QByteArray json =
        R"({"schema":1,"overall":"fail","counts":{"ok":33334,"warn":33333,"fail":33333},)"
        R"("groups":[],"checks":[)";
    HealthReport expected{.overall = HealthStatus::fail, .counts = {33334, 33333, 33333}};
    expected.checks.reserve(kChecks);
    const HealthStatus statuses[] = {HealthStatus::ok, HealthStatus::warn, HealthStatus::fail};
    for (int i = 0; i < kChecks; ++i) {
        const HealthStatus status = statuses[i % 3];
        const QByteArray name = "check-" + QByteArray::number(i);
        const QByteArray section = "section-" + QByteArray::number(i % 17);
        if (i > 0)
            json += ',';
        json += R"({"name":")" + name + R"(","status":")" + rawText(status).toUtf8() +
                R"(","detail":")" + padding + R"(","section":")" + section + R"("})";
        expected.checks.append(HealthCheck{QString::fromLatin1(name), status,
                                           QString::fromLatin1(padding),
                                           QString::fromLatin1(section)});
    }
    json += "]}";
    QVERIFY2(json.size() >= 10 * 1024 * 1024, qPrintable(QString::number(json.size())));

    const Result<HealthReport> result = decodeHealthReport(json);
    QVERIFY2(result, qPrintable(result.ok() ? QString() : result.error()));
    QCOMPARE(result->checks.size(), kChecks);
    QCOMPARE(result->checks.at(41), expected.checks.at(41));
    QCOMPARE(result->checks.last(), expected.checks.last());
    QVERIFY(*result == expected);
}

void HealthReportJsonTest::roundTrip_data()
{
    QTest::addColumn<HealthReport>("report");
    QTest::newRow("minimal") << HealthReport{};
    QTest::newRow("rich") << richReport();
    QTest::newRow("empty services list")
        << HealthReport{.overall = HealthStatus::fail, .services = QList<DiscoveredService>{}};
    QTest::newRow("only some optionals")
        << HealthReport{.generatedAt = "", .uptimeSeconds = 0, .overall = HealthStatus::warn};
    QTest::newRow("64-bit extremes and odd text")
        << HealthReport{.schema = std::numeric_limits<qint64>::min(),
                        .host = QStringLiteral("line\nbreak \"quoted\" \u00e9\U0001F600"),
                        .uptimeSeconds = std::numeric_limits<qint64>::max(),
                        .counts = {std::numeric_limits<qint64>::max(), -1, 0},
                        .groups = {{"", HealthStatus::fail, {"", "a/b"}}},
                        .checks = {{"root", HealthStatus::warn, QString(QChar(0)), "disk"}},
                        .diagnostics = QStringLiteral("\t")};
}

void HealthReportJsonTest::roundTrip()
{
    QFETCH(HealthReport, report);
    const QJsonObject encoded = encodeHealthReport(report);
    for (const auto format : {QJsonDocument::Compact, QJsonDocument::Indented}) {
        const Result<HealthReport> decoded =
            decodeHealthReport(QJsonDocument(encoded).toJson(format));
        QVERIFY2(decoded, qPrintable(decoded.ok() ? QString() : decoded.error()));
        QCOMPARE(*decoded, report);
    }
}

void HealthReportJsonTest::encodingOmitsAbsentKeys_data()
{
    QTest::addColumn<HealthReport>("report");
    QTest::addColumn<QStringList>("keys");

    const QStringList always = {"schema", "overall", "counts", "groups", "checks"};
    QTest::newRow("no optionals") << HealthReport{} << always;
    QTest::newRow("every optional")
        << richReport()
        << always + QStringList{"host", "generatedAt", "uptimeSeconds", "diagnostics", "services"};
    QTest::newRow("empty optionals are still present")
        << HealthReport{.host = "", .diagnostics = "", .services = QList<DiscoveredService>{}}
        << always + QStringList{"host", "diagnostics", "services"};
    QTest::newRow("uptime only") << HealthReport{.uptimeSeconds = 0}
                                 << always + QStringList{"uptimeSeconds"};
}

void HealthReportJsonTest::encodingOmitsAbsentKeys()
{
    QFETCH(HealthReport, report);
    QFETCH(QStringList, keys);
    QStringList encodedKeys = encodeHealthReport(report).keys();
    encodedKeys.sort();
    keys.sort();
    QCOMPARE(encodedKeys, keys);
}

QTEST_GUILESS_MAIN(HealthReportJsonTest)
#include "HealthReportJsonTest.moc"
