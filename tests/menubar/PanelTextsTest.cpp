#include "PanelTexts.h"
#include "PanelPlacement.h"

#include <QTest>

using namespace corvane;

Q_DECLARE_METATYPE(std::optional<ServerResult>)
Q_DECLARE_METATYPE(HealthStatus)
Q_DECLARE_METATYPE(ColorRole)

namespace {

ServerProfile web()
{
    ServerProfile profile;
    profile.name = QStringLiteral("web-01");
    profile.host = QStringLiteral("10.0.0.21");
    return profile;
}

HealthCheck check(const QString& name, HealthStatus status, const QString& detail,
                  const QString& section)
{
    return HealthCheck{name, status, detail, section};
}

ServerResult withReport(const HealthReport& report, std::optional<QString> error = std::nullopt)
{
    ServerResult result;
    result.report = report;
    result.error = std::move(error);
    return result;
}

HealthReport diskReport()
{
    HealthReport report;
    report.overall = HealthStatus::fail;
    report.checks = {check(QStringLiteral("load"), HealthStatus::ok, QStringLiteral("0.3"),
                           QStringLiteral("System")),
                     check(QStringLiteral("disk"), HealthStatus::fail, QStringLiteral("92% used"),
                           QStringLiteral("System"))};
    report.groups = {
        HealthGroup{QStringLiteral("Network"), HealthStatus::ok, {}},
        HealthGroup{QStringLiteral("System"), HealthStatus::fail, {QStringLiteral("disk")}}};
    return report;
}

} // namespace

class PanelTextsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serverDetailText_data();
    void serverDetailText();
    void serverErrorText_data();
    void serverErrorText();
    void groupDetailText_data();
    void groupDetailText();
    void groupCopyText_data();
    void groupCopyText();
    void fixedTexts_data();
    void fixedTexts();
    void rowIcon_data();
    void rowIcon();
    void serverListHeight_data();
    void serverListHeight();
    void sheetStatusRule_data();
    void sheetStatusRule();
    void checkDetailItem();
    void panelPosition_data();
    void panelPosition();
};

void PanelTextsTest::serverDetailText_data()
{
    QTest::addColumn<std::optional<ServerResult>>("result");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no result yet")
        << std::optional<ServerResult>()
        << QStringLiteral("Server: web-01\n\nHost: 10.0.0.21\n\nStatus: Unknown");
    QTest::newRow("one failing check and group")
        << std::optional(withReport(diskReport()))
        << QStringLiteral("Server: web-01\n\nHost: 10.0.0.21\n\nStatus: Critical\n\n"
                          "System: disk\n\nSystem / disk [Critical]\n92% used");

    HealthReport busy = diskReport();
    busy.checks.append(check(QStringLiteral("swap"), HealthStatus::warn, QStringLiteral("80%"),
                             QStringLiteral("Memory")));
    busy.groups.append(HealthGroup{QStringLiteral("Memory"), HealthStatus::warn, {}});
    busy.diagnostics = QStringLiteral("agent 1.2");
    QTest::newRow("error, groups, checks and diagnostics in that order")
        << std::optional(withReport(busy, QStringLiteral("Connection refused")))
        << QStringLiteral("Server: web-01\n\nHost: 10.0.0.21\n\nStatus: Critical\n\n"
                          "Connection refused\n\nSystem: disk\nMemory: \n\n"
                          "System / disk [Critical]\n92% used\n\nMemory / swap [Warning]\n80%\n\n"
                          "agent 1.2");

    ServerResult waiting;
    waiting.refreshing = true;
    QTest::newRow("refreshing, nothing yet")
        << std::optional(waiting)
        << QStringLiteral("Server: web-01\n\nHost: 10.0.0.21\n\nStatus: Warning");

    HealthReport healthy;
    healthy.checks = {check(QStringLiteral("load"), HealthStatus::ok, QStringLiteral("0.3"),
                            QStringLiteral("System"))};
    healthy.diagnostics = QString();
    QTest::newRow("healthy report, empty diagnostics dropped")
        << std::optional(withReport(healthy))
        << QStringLiteral("Server: web-01\n\nHost: 10.0.0.21\n\nStatus: Healthy");
}

void PanelTextsTest::serverDetailText()
{
    QFETCH(std::optional<ServerResult>, result);
    QFETCH(QString, expected);
    QCOMPARE(texts::serverDetailText(web(), result), expected);
    const MonitorDetailItem item = texts::serverDetailItem(web(), result);
    QCOMPARE(item.title, QStringLiteral("web-01"));
    QCOMPARE(item.details, expected);
    QCOMPARE(item.status,
             expected.section(QStringLiteral("Status: "), 1).section(QLatin1Char('\n'), 0, 0));
}

void PanelTextsTest::serverErrorText_data()
{
    QTest::addColumn<std::optional<ServerResult>>("result");
    QTest::addColumn<QString>("expected");

    QTest::newRow("never refreshed")
        << std::optional<ServerResult>() << QStringLiteral("No errors reported.");
    QTest::newRow("error wins over an older report's failing checks")
        << std::optional(withReport(diskReport(), QStringLiteral("Host key verification failed.")))
        << QStringLiteral("Host key verification failed.");
    HealthReport two = diskReport();
    two.checks.append(check(QStringLiteral("swap"), HealthStatus::warn, QStringLiteral("80%"),
                            QStringLiteral("Memory")));
    QTest::newRow("failing checks, one per line")
        << std::optional(withReport(two)) << QStringLiteral("disk: 92% used\nswap: 80%");
    QTest::newRow("no failing check")
        << std::optional(withReport(HealthReport{})) << QStringLiteral("No errors reported.");
}

void PanelTextsTest::serverErrorText()
{
    QFETCH(std::optional<ServerResult>, result);
    QFETCH(QString, expected);
    QCOMPARE(texts::serverErrorText(result), expected);
}

void PanelTextsTest::groupDetailText_data()
{
    QTest::addColumn<HealthGroup>("group");
    QTest::addColumn<HealthReport>("report");
    QTest::addColumn<QString>("expected");

    QTest::newRow("healthy, nothing related")
        << HealthGroup{QStringLiteral("Network"), HealthStatus::ok, {}} << diskReport()
        << QStringLiteral("Group: Network\n\nStatus: Healthy\n\nAll required checks passed.");
    QTest::newRow("failing, nothing related")
        << HealthGroup{QStringLiteral("Storage"), HealthStatus::fail, {}} << diskReport()
        << QStringLiteral("Group: Storage\n\nStatus: Critical\n\n"
                          "No matching individual check details were returned.");
    QTest::newRow("missing name and failing check of its section")
        << HealthGroup{QStringLiteral("System"), HealthStatus::fail, {QStringLiteral("disk")}}
        << diskReport()
        << QStringLiteral("Group: System\n\nStatus: Critical\n\nMissing: disk\n\n"
                          "disk: 92% used");

    HealthReport report = diskReport();
    report.checks.append(check(QStringLiteral("ntp"), HealthStatus::ok, QStringLiteral("synced"),
                               QStringLiteral("Clock")));
    report.checks.append(check(QStringLiteral("temp"), HealthStatus::warn, QStringLiteral("71C"),
                               QStringLiteral("System")));
    QTest::newRow("an ok check listed as missing counts; report order kept")
        << HealthGroup{QStringLiteral("System"),
                       HealthStatus::warn,
                       {QStringLiteral("ntp"), QStringLiteral("disk")}}
        << report
        << QStringLiteral("Group: System\n\nStatus: Warning\n\nMissing: ntp, disk\n\n"
                          "disk: 92% used\n\nntp: synced\n\ntemp: 71C");

    HealthReport required;
    required.checks = {check(QStringLiteral("Required: nginx"), HealthStatus::fail,
                             QStringLiteral("Stopped"), QStringLiteral("Required services"))};
    QTest::newRow("the group the required-service rule adds")
        << HealthGroup{QStringLiteral("Required services"),
                       HealthStatus::fail,
                       {QStringLiteral("Required: nginx")}}
        << required
        << QStringLiteral("Group: Required services\n\nStatus: Critical\n\n"
                          "Missing: Required: nginx\n\nRequired: nginx: Stopped");
}

void PanelTextsTest::groupDetailText()
{
    QFETCH(HealthGroup, group);
    QFETCH(HealthReport, report);
    QFETCH(QString, expected);
    QCOMPARE(texts::groupDetailText(group, report), expected);
    const MonitorDetailItem item = texts::groupDetailItem(group, report);
    QCOMPARE(item.title, group.name);
    QCOMPARE(item.status, title(group.status));
}

void PanelTextsTest::groupCopyText_data()
{
    QTest::addColumn<HealthGroup>("group");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no missing names: nothing after the line break")
        << HealthGroup{QStringLiteral("Network"), HealthStatus::ok, {}}
        << QStringLiteral("Network: Healthy\n");
    QTest::newRow("one name per line")
        << HealthGroup{QStringLiteral("System"),
                       HealthStatus::fail,
                       {QStringLiteral("disk"), QStringLiteral("swap")}}
        << QStringLiteral("System: Critical\ndisk\nswap");
}

void PanelTextsTest::groupCopyText()
{
    QFETCH(HealthGroup, group);
    QFETCH(QString, expected);
    QCOMPARE(texts::groupCopyText(group), expected);
}

void PanelTextsTest::fixedTexts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");

    QTest::newRow("tooltip ok") << texts::trayToolTip(HealthStatus::ok)
                                << QString::fromUtf8("Corvane Monitor — Healthy");
    QTest::newRow("tooltip warn") << texts::trayToolTip(HealthStatus::warn)
                                  << QString::fromUtf8("Corvane Monitor — Warning");
    QTest::newRow("tooltip fail") << texts::trayToolTip(HealthStatus::fail)
                                  << QString::fromUtf8("Corvane Monitor — Critical");
    QTest::newRow("offline 1") << texts::offlineText(1).value_or(QStringLiteral("none"))
                               << QStringLiteral("1 offline");
    QTest::newRow("offline 0") << texts::offlineText(0).value_or(QStringLiteral("none"))
                               << QStringLiteral("none");
    QTest::newRow("summary") << texts::summaryLine(HealthCounts{41, 1, 0})
                             << QString::fromUtf8("ALL SERVERS: 41 OK  ·  1 WARN  ·  0 FAIL");
    QTest::newRow("summary large")
        << texts::summaryLine(HealthCounts{1234567, 0, 10})
        << QString::fromUtf8("ALL SERVERS: 1234567 OK  ·  0 WARN  ·  10 FAIL");

    HealthReport up;
    up.counts.ok = 12;
    up.uptimeSeconds = 86400 + 300;
    QTest::newRow("row ok count") << texts::okCountText(up) << QStringLiteral("12 OK");
    QTest::newRow("row uptime") << texts::rowUptimeText(up).value_or(QStringLiteral("none"))
                                << QStringLiteral("Up 1d 0h 5m");
    QTest::newRow("row no uptime")
        << texts::rowUptimeText(HealthReport{}).value_or(QStringLiteral("none"))
        << QStringLiteral("none");
    QTest::newRow("uptime value") << texts::uptimeValue(up) << QStringLiteral("1d 0h 5m");
    QTest::newRow("uptime value absent")
        << texts::uptimeValue(HealthReport{}) << QStringLiteral("Not available");

    ServerProfile profile;
    profile.name = QStringLiteral("web-01");
    QTest::newRow("heading") << texts::selectedHeading(profile) << QStringLiteral("WEB-01");
    profile.name = QString::fromUtf8("straße");
    QTest::newRow("heading full upper-casing")
        << texts::selectedHeading(profile) << QStringLiteral("STRASSE");

    ServerResult failed;
    failed.error = QStringLiteral("ssh: connect to host 127.0.0.1 port 1: Connection refused");
    QTest::newRow("no report, waiting")
        << texts::noReportText(std::nullopt) << QString::fromUtf8("Waiting for health data…");
    QTest::newRow("no report, refreshing") << texts::noReportText(ServerResult{{}, {}, {}, true})
                                           << QString::fromUtf8("Waiting for health data…");
    QTest::newRow("no report, error") << texts::noReportText(failed) << *failed.error;

    QTest::newRow("sheet placeholder")
        << texts::sheetDetailsShown(QString())
        << QStringLiteral("No additional diagnostic information available.");
    QTest::newRow("sheet blanks are text")
        << texts::sheetDetailsShown(QStringLiteral("  ")) << QStringLiteral("  ");
}

void PanelTextsTest::fixedTexts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void PanelTextsTest::rowIcon_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<std::optional<ServerResult>>("result");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<ColorRole>("role");

    ServerResult failed;
    failed.error = QStringLiteral("refused");
    ServerResult healthy = withReport(HealthReport{});
    ServerResult refreshing;
    refreshing.refreshing = true;

    QTest::newRow("enabled, never refreshed")
        << true << std::optional<ServerResult>() << "circle.dotted" << ColorRole::secondary;
    QTest::newRow("disabled, never refreshed")
        << false << std::optional<ServerResult>() << "circle.dotted" << ColorRole::gray;
    QTest::newRow("enabled, failed")
        << true << std::optional(failed) << "xmark.circle.fill" << ColorRole::red;
    QTest::newRow("disabled, failed: gray, symbol follows status")
        << false << std::optional(failed) << "xmark.circle.fill" << ColorRole::gray;
    QTest::newRow("enabled, healthy")
        << true << std::optional(healthy) << "checkmark.circle.fill" << ColorRole::green;
    QTest::newRow("first refresh running counts as warning")
        << true << std::optional(refreshing) << "exclamationmark.triangle.fill"
        << ColorRole::orange;
}

void PanelTextsTest::rowIcon()
{
    QFETCH(bool, enabled);
    QFETCH(std::optional<ServerResult>, result);
    QFETCH(QString, symbol);
    QFETCH(ColorRole, role);
    ServerProfile profile;
    profile.enabled = enabled;
    QCOMPARE(texts::rowSymbol(result), symbol);
    QCOMPARE(colorRoleName(texts::rowColor(profile, result)), colorRoleName(role));
}

void PanelTextsTest::serverListHeight_data()
{
    QTest::addColumn<int>("profiles");
    QTest::addColumn<int>("height");
    QTest::newRow("none") << 0 << 58;
    QTest::newRow("one") << 1 << 58;
    QTest::newRow("two") << 2 << 116;
    QTest::newRow("three") << 3 << 174;
    QTest::newRow("four") << 4 << 175;
    QTest::newRow("forty") << 40 << 175;
}

void PanelTextsTest::serverListHeight()
{
    QFETCH(int, profiles);
    QFETCH(int, height);
    QCOMPARE(texts::serverListHeight(profiles), height);
}

void PanelTextsTest::sheetStatusRule_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<ColorRole>("role");
    QTest::addColumn<QString>("symbol");

    const QString cross = QStringLiteral("xmark.circle.fill");
    const QString triangle = QStringLiteral("exclamationmark.triangle.fill");
    const QString check = QStringLiteral("checkmark.circle.fill");
    QTest::newRow("Critical") << "Critical" << ColorRole::red << cross;
    QTest::newRow("FAILED") << "FAILED" << ColorRole::red << cross;
    QTest::newRow("failed") << "failed" << ColorRole::red << cross;
    QTest::newRow("Warning") << "Warning" << ColorRole::orange << triangle;
    QTest::newRow("Stopped") << "Stopped" << ColorRole::orange << triangle;
    QTest::newRow("Healthy") << "Healthy" << ColorRole::green << check;
    QTest::newRow("Not installed") << "Not installed" << ColorRole::green << check;
    QTest::newRow("Disabled") << "Disabled" << ColorRole::green << check;
    QTest::newRow("Unknown") << "Unknown" << ColorRole::green << check;
    QTest::newRow("Required — missing")
        << QString::fromUtf8("Required — missing") << ColorRole::green << check;
    QTest::newRow("trailing blank") << "critical " << ColorRole::green << check;
    QTest::newRow("empty") << "" << ColorRole::green << check;
}

void PanelTextsTest::sheetStatusRule()
{
    QFETCH(QString, status);
    QFETCH(ColorRole, role);
    QFETCH(QString, symbol);
    QCOMPARE(colorRoleName(texts::sheetStatusColor(status)), colorRoleName(role));
    QCOMPARE(texts::sheetStatusSymbol(status), symbol);
}

void PanelTextsTest::checkDetailItem()
{
    const MonitorDetailItem a = texts::checkDetailItem(
        check(QStringLiteral("root"), HealthStatus::warn, QString(), QStringLiteral("disk")));
    QCOMPARE(a.title, QStringLiteral("root"));
    QCOMPARE(a.status, QStringLiteral("Warning"));
    QCOMPARE(a.details, QStringLiteral("Section: disk\n\n"));
    const MonitorDetailItem b = texts::checkDetailItem(
        check(QStringLiteral("root"), HealthStatus::warn, QString(), QStringLiteral("disk")));
    QVERIFY2(a.id != b.id, "equal texts must still be different items");
}

void PanelTextsTest::panelPosition_data()
{
    QTest::addColumn<QRect>("icon");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("expected");

    // A 1920 x 1080 screen with a 30-pixel top bar; the panel is 410 x 600.
    QTest::newRow("centred below the icon")
        << QRect(1000, 4, 22, 22) << QPoint(5, 5) << QPoint(1010 - 205, 30);
    QTest::newRow("icon at the right edge: kept on screen")
        << QRect(1890, 4, 22, 22) << QPoint(5, 5) << QPoint(1920 - 410, 30);
    QTest::newRow("icon at the left edge") << QRect(2, 4, 22, 22) << QPoint(5, 5) << QPoint(0, 30);
    QTest::newRow("bottom bar: above the icon")
        << QRect(1000, 1056, 22, 22) << QPoint(5, 5) << QPoint(805, 1056 - 4 - 600);
    QTest::newRow("no geometry: below the pointer")
        << QRect() << QPoint(700, 40) << QPoint(495, 44);
    QTest::newRow("no geometry, pointer low: above it")
        << QRect() << QPoint(700, 900) << QPoint(495, 296);
    QTest::newRow("pointer in the top bar: clamped below it")
        << QRect() << QPoint(700, 2) << QPoint(495, 30);
}

void PanelTextsTest::panelPosition()
{
    QFETCH(QRect, icon);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, expected);
    const QRect available(0, 30, 1920, 1050);
    QCOMPARE(corvane::panelPosition(icon, pointer, QSize(410, 600), available), expected);
}

QTEST_GUILESS_MAIN(PanelTextsTest)
#include "PanelTextsTest.moc"
