#include "RecordsTestSupport.h"

#include "records/HealthReport.h"
#include "records/Presentation.h"

#include <QTest>

#include <limits>
#include <optional>

using namespace corvane;

Q_DECLARE_METATYPE(std::optional<qint64>)

class HealthReportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusPresentation_data();
    void statusPresentation();
    void worse_data();
    void worse();
    void servicePresentation_data();
    void servicePresentation();
    void serviceEquality_data();
    void serviceEquality();
    void uptimeLabel_data();
    void uptimeLabel();
    void checkIdentity_data();
    void checkIdentity();
    void groupAndServiceIdentityIsTheName();
};

void HealthReportTest::statusPresentation_data()
{
    QTest::addColumn<HealthStatus>("status");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("color");

    QTest::newRow("ok") << HealthStatus::ok << "ok"
                        << "Healthy"
                        << "checkmark.circle.fill"
                        << "green";
    QTest::newRow("warn") << HealthStatus::warn << "warn"
                          << "Warning"
                          << "exclamationmark.triangle.fill"
                          << "orange";
    QTest::newRow("fail") << HealthStatus::fail << "fail"
                          << "Critical"
                          << "xmark.circle.fill"
                          << "red";
}

void HealthReportTest::statusPresentation()
{
    QFETCH(HealthStatus, status);
    QFETCH(QString, raw);
    QFETCH(QString, title);
    QFETCH(QString, symbol);
    QFETCH(QString, color);

    QCOMPARE(rawText(status), raw);
    QVERIFY(healthStatusFromRaw(raw) == status);
    QVERIFY(!healthStatusFromRaw(raw.toUpper()));
    QCOMPARE(corvane::title(status), title);
    QCOMPARE(corvane::symbol(status), symbol);
    QCOMPARE(colorRoleName(corvane::color(status)), color);
}

void HealthReportTest::worse_data()
{
    QTest::addColumn<HealthStatus>("a");
    QTest::addColumn<HealthStatus>("b");
    QTest::addColumn<HealthStatus>("expected");

    const HealthStatus all[] = {HealthStatus::ok, HealthStatus::warn, HealthStatus::fail};
    for (const HealthStatus a : all)
        for (const HealthStatus b : all)
            QTest::addRow("%s and %s", qPrintable(rawText(a)), qPrintable(rawText(b)))
                << a << b
                << (a == HealthStatus::fail || b == HealthStatus::fail   ? HealthStatus::fail
                    : a == HealthStatus::warn || b == HealthStatus::warn ? HealthStatus::warn
                                                                         : HealthStatus::ok);
}

void HealthReportTest::worse()
{
    QFETCH(HealthStatus, a);
    QFETCH(HealthStatus, b);
    QFETCH(HealthStatus, expected);
    QCOMPARE(rawText(corvane::worse(a, b)), rawText(expected));
}

void HealthReportTest::servicePresentation_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("color");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("healthy");

    QTest::newRow("running") << "running"
                             << "Running"
                             << "checkmark.circle.fill"
                             << "green" << true << true;
    QTest::newRow("failed") << "failed"
                            << "Failed"
                            << "xmark.circle.fill"
                            << "red" << true << false;
    QTest::newRow("required_missing")
        << "required_missing" << QStringLiteral("Required \u2014 missing") << "xmark.circle.fill"
        << "red" << true << false;
    QTest::newRow("stopped") << "stopped"
                             << "Stopped"
                             << "exclamationmark.triangle.fill"
                             << "orange" << true << false;
    QTest::newRow("disabled") << "disabled"
                              << "Disabled"
                              << "pause.circle"
                              << "secondary" << true << false;
    QTest::newRow("not_installed") << "not_installed"
                                   << "Not installed"
                                   << "minus.circle"
                                   << "secondary" << false << false;

    // Matching is exact: anything else is unknown, and an unknown service counts as installed.
    for (const char* state : {"Running", " running", "running ", "NOT_INSTALLED", "not installed",
                              "", "unknown", "active"})
        QTest::addRow("unknown '%s'", state) << state << "Unknown"
                                             << "questionmark.circle"
                                             << "secondary" << true << false;
}

void HealthReportTest::servicePresentation()
{
    QFETCH(QString, state);
    QFETCH(QString, title);
    QFETCH(QString, symbol);
    QFETCH(QString, color);
    QFETCH(bool, installed);
    QFETCH(bool, healthy);

    const DiscoveredService service{"nginx", state, "detail"};
    QCOMPARE(service.title(), title);
    QCOMPARE(service.symbol(), symbol);
    QCOMPARE(colorRoleName(service.color()), color);
    QCOMPARE(service.isInstalled(), installed);
    QCOMPARE(service.isHealthy(), healthy);
}

void HealthReportTest::serviceEquality_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("equal");

    QTest::newRow("all equal") << "nginx"
                               << "running"
                               << "active" << true;
    QTest::newRow("name differs") << "apache"
                                  << "running"
                                  << "active" << false;
    QTest::newRow("state differs") << "nginx"
                                   << "stopped"
                                   << "active" << false;
    QTest::newRow("detail differs") << "nginx"
                                    << "running"
                                    << "" << false;
    QTest::newRow("case differs") << "Nginx"
                                  << "running"
                                  << "active" << false;
}

void HealthReportTest::serviceEquality()
{
    QFETCH(QString, name);
    QFETCH(QString, state);
    QFETCH(QString, detail);
    QFETCH(bool, equal);
    const DiscoveredService reference{"nginx", "running", "active"};
    const DiscoveredService other{name, state, detail};
    QCOMPARE(reference == other, equal);
    QCOMPARE(reference != other, !equal);
}

void HealthReportTest::uptimeLabel_data()
{
    QTest::addColumn<std::optional<qint64>>("uptime");
    QTest::addColumn<QString>("label"); // null: no label

    constexpr qint64 minute = 60;
    constexpr qint64 hour = 3600;
    constexpr qint64 day = 86400;
    QTest::newRow("absent") << std::optional<qint64>() << QString();
    QTest::newRow("-5") << std::optional<qint64>(-5) << QString();
    QTest::newRow("-1") << std::optional<qint64>(-1) << QString();
    QTest::newRow("most negative")
        << std::optional<qint64>(std::numeric_limits<qint64>::min()) << QString();
    QTest::newRow("0") << std::optional<qint64>(0) << "0m";
    QTest::newRow("59") << std::optional<qint64>(59) << "0m";
    QTest::newRow("60") << std::optional<qint64>(minute) << "1m";
    QTest::newRow("3599") << std::optional<qint64>(hour - 1) << "59m";
    QTest::newRow("3600") << std::optional<qint64>(hour) << "1h 0m";
    QTest::newRow("3659") << std::optional<qint64>(hour + 59) << "1h 0m";
    QTest::newRow("3660") << std::optional<qint64>(hour + minute) << "1h 1m";
    QTest::newRow("10h 5m") << std::optional<qint64>(10 * hour + 5 * minute + 7) << "10h 5m";
    QTest::newRow("86399") << std::optional<qint64>(day - 1) << "23h 59m";
    QTest::newRow("86400") << std::optional<qint64>(day) << "1d 0h 0m";
    QTest::newRow("1d 0h 5m") << std::optional<qint64>(day + 5 * minute) << "1d 0h 5m";
    QTest::newRow("1d 1h 1m 1s") << std::optional<qint64>(day + hour + minute + 1) << "1d 1h 1m";
    QTest::newRow("1d 0h 0m 59s") << std::optional<qint64>(day + 59) << "1d 0h 0m";
    QTest::newRow("400 days") << std::optional<qint64>(400 * day + 23 * hour + 59 * minute + 59)
                              << "400d 23h 59m";
    QTest::newRow("largest") << std::optional<qint64>(std::numeric_limits<qint64>::max())
                             << "106751991167300d 15h 30m";
}

void HealthReportTest::uptimeLabel()
{
    QFETCH(std::optional<qint64>, uptime);
    QFETCH(QString, label);
    const HealthReport report{.uptimeSeconds = uptime};
    const std::optional<QString> got = report.uptimeLabel();
    QCOMPARE(got.has_value(), !label.isNull());
    if (got)
        QCOMPARE(*got, label);
}

void HealthReportTest::checkIdentity_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");

    QTest::newRow("disk/root") << "disk"
                               << "root"
                               << "disk/root";
    QTest::newRow("same name, other section") << "memory"
                                              << "root"
                                              << "memory/root";
    QTest::newRow("empty section") << ""
                                   << "root"
                                   << "/root";
    QTest::newRow("empty name") << "disk"
                                << ""
                                << "disk/";
    QTest::newRow("non-ASCII") << QStringLiteral("d\u00efsk") << "/"
                               << QStringLiteral("d\u00efsk//");
}

void HealthReportTest::checkIdentity()
{
    QFETCH(QString, section);
    QFETCH(QString, name);
    QFETCH(QString, id);
    QCOMPARE((HealthCheck{name, HealthStatus::ok, "detail", section}.id()), id);
    // The status and detail do not enter the identity.
    QCOMPARE((HealthCheck{name, HealthStatus::fail, "other", section}.id()), id);
}

void HealthReportTest::groupAndServiceIdentityIsTheName()
{
    const HealthGroup group{"disk", HealthStatus::warn, {"/srv"}};
    QCOMPARE(group.id(), QStringLiteral("disk"));
    const DiscoveredService service{"nginx", "running", "active"};
    QCOMPARE(service.id(), QStringLiteral("nginx"));
    QVERIFY((HealthCheck{"root", HealthStatus::ok, "", "disk"}.id() !=
             HealthCheck{"root", HealthStatus::ok, "", "memory"}.id()));
}

QTEST_GUILESS_MAIN(HealthReportTest)
#include "HealthReportTest.moc"
