// The agent's real output on this machine must pass the monitor's own strict decoder.

#include "records/HealthReportJson.h"

#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;

class AgentOutputTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesStrictly();
};

void AgentOutputTest::decodesStrictly()
{
    QProcess agent;
    agent.setProgram(QStringLiteral(CORVANE_SOURCE_DIR "/server/remote-health-json"));
    agent.setStandardInputFile(QProcess::nullDevice());
    QSignalSpy finished(&agent, &QProcess::finished);
    agent.start();
    QVERIFY2(finished.wait(30000), qPrintable(agent.errorString()));
    QCOMPARE(agent.exitStatus(), QProcess::NormalExit);
    const QByteArray output = agent.readAllStandardOutput();

    const Result<HealthReport> decoded = decodeHealthReport(output);
    if (!decoded)
        QFAIL(qPrintable(decoded.error() + QStringLiteral("\n") +
                         QString::fromUtf8(output.left(2000))));
    const HealthReport& report = decoded.value();

    QCOMPARE(report.schema, 1);
    QVERIFY(report.host && !report.host->isEmpty());
    QVERIFY(report.generatedAt);
    QVERIFY2(QDateTime::fromString(*report.generatedAt, Qt::ISODate).isValid(),
             qPrintable(*report.generatedAt));
    QVERIFY(report.uptimeSeconds && *report.uptimeSeconds >= 0);
    QVERIFY(!report.checks.isEmpty());

    HealthCounts counted;
    HealthStatus worst = HealthStatus::ok;
    QSet<QString> sections;
    for (const HealthCheck& check : report.checks) {
        (check.status == HealthStatus::ok     ? counted.ok
         : check.status == HealthStatus::warn ? counted.warn
                                              : counted.fail)++;
        worst = corvane::worse(worst, check.status);
        sections.insert(check.section);
        QVERIFY2(!check.detail.isEmpty(), qPrintable(check.id()));
    }
    QCOMPARE(report.counts, counted);
    QCOMPARE(report.overall, worst);

    // One group per section, listing that section's checks that are not ok.
    QCOMPARE(report.groups.size(), sections.size());
    for (const HealthGroup& group : report.groups) {
        QVERIFY2(sections.contains(group.name), qPrintable(group.name));
        QStringList notOk;
        for (const HealthCheck& check : report.checks)
            if (check.section == group.name && check.status != HealthStatus::ok)
                notOk.append(check.name);
        QCOMPARE(group.missing, notOk);
    }
}

QTEST_GUILESS_MAIN(AgentOutputTest)
#include "AgentOutputTest.moc"
