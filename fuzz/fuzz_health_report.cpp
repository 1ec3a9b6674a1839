// The health-report decoder on hostile bytes, then the service policy on whatever it accepts.
#include "monitor/ServerMonitor.h"
#include "records/HealthReportJson.h"

#include <QByteArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Result<HealthReport> decoded = decodeHealthReport(bytes);
    if (!decoded) {
        // A rejection is one line of text, never empty.
        if (decoded.error().isEmpty() || decoded.error().contains(QLatin1Char('\n')))
            std::abort();
        return 0;
    }
    const HealthReport& report = decoded.value();

    // What was accepted must survive its own document form unchanged.
    const QByteArray again = QJsonDocument(encodeHealthReport(report)).toJson();
    const Result<HealthReport> roundTrip = decodeHealthReport(again);
    if (!roundTrip || !(roundTrip.value() == report))
        std::abort();

    // The policy with required services taken from the report itself, plus ones it lacks.
    ServerProfile profile;
    if (report.services)
        for (const DiscoveredService& service : *report.services)
            profile.requiredServices.append(service.name);
    for (const HealthCheck& check : report.checks)
        profile.requiredServices.append(check.name);
    profile.requiredServices.append(QStringLiteral("absent.service"));
    for (bool discover : {true, false}) {
        profile.discoverServices = discover;
        const HealthReport applied = ServerMonitor::applyServicePolicy(report, profile);
        // The policy only ever adds findings: it never makes a report look healthier.
        if (worse(applied.overall, report.overall) != applied.overall)
            std::abort();
        static_cast<void>(applied.uptimeLabel());
    }
    return 0;
}
