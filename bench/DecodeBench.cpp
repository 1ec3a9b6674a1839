// corvane-bench-decode: decode plus service policy of a large (10 MB, 100000 checks) and a
// typical (5 KB) health report. Prints one JSON line per report size; the parse-only and
// policy-only times show where the time goes.

#include "monitor/ServerMonitor.h"
#include "records/HealthReportJson.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace corvane;

namespace {

const char* const kSections[] = {"System",   "Storage",  "Memory", "Network",
                                 "Services", "Security", "Time",   "Kernel"};

// A report shaped like the agent's, with detail texts padded so that the whole document comes
// close to targetBytes.
QByteArray makeReport(int checks, int services, qsizetype targetBytes)
{
    const auto build = [&](int pad) {
        QByteArray out;
        out.reserve(targetBytes + 4096);
        out += R"({"schema":1,"host":"bench.example","generatedAt":"2025-01-01T00:00:00Z",)"
               R"("uptimeSeconds":1234567,"overall":"fail",)";
        int ok = 0;
        int warn = 0;
        int fail = 0;
        QByteArray body;
        for (int i = 0; i < checks; ++i) {
            const char* status = i % 97 == 0 ? "fail" : (i % 13 == 0 ? "warn" : "ok");
            (i % 97 == 0 ? fail : (i % 13 == 0 ? warn : ok)) += 1;
            body += (i ? "," : "");
            body += R"({"name":"Check )" + QByteArray::number(i) + R"(","status":")" + status +
                    R"(","detail":"value )" + QByteArray::number(i * 7 % 1000) + ' ' +
                    QByteArray(pad, 'x') + R"(","section":")" +
                    kSections[i % std::size(kSections)] + "\"}";
        }
        out += R"("counts":{"ok":)" + QByteArray::number(ok) + R"(,"warn":)" +
               QByteArray::number(warn) + R"(,"fail":)" + QByteArray::number(fail) + "},";
        out += R"("groups":[)";
        for (std::size_t g = 0; g < std::size(kSections); ++g)
            out += QByteArray(g ? "," : "") + R"({"name":")" + kSections[g] +
                   R"(","status":"ok","missing":[]})";
        out += R"(],"checks":[)" + body + "],";
        out += R"("diagnostics":"none","services":[)";
        for (int s = 0; s < services; ++s)
            out += QByteArray(s ? "," : "") + R"({"name":"svc)" + QByteArray::number(s) +
                   R"x(.service","state":"running","detail":"active (running)"})x";
        out += "]}\n";
        return out;
    };
    const qsizetype bare = build(0).size();
    const int pad = std::max<qsizetype>(0, (targetBytes - bare) / std::max(1, checks));
    return build(pad);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename F> double timeMs(F&& f)
{
    QElapsedTimer clock;
    clock.start();
    f();
    return clock.nsecsElapsed() / 1e6;
}

void measure(const char* label, const QByteArray& bytes, int minRounds, double minSeconds)
{
    ServerProfile profile;
    // One service running, one the agent does not know: the policy adds a check and so copies
    // the report, its costlier path.
    profile.requiredServices = {QStringLiteral("svc1.service"),
                                QStringLiteral("not-installed.service")};

    std::vector<double> parse;
    std::vector<double> decode;
    std::vector<double> policy;
    std::vector<double> total;
    qsizetype checks = 0;
    QElapsedTimer budget;
    budget.start();
    while (static_cast<int>(total.size()) < minRounds || budget.elapsed() < minSeconds * 1000) {
        parse.push_back(timeMs([&] { (void)QJsonDocument::fromJson(bytes); }));
        std::optional<Result<HealthReport>> decoded;
        decode.push_back(timeMs([&] { decoded = decodeHealthReport(bytes); }));
        if (!decoded->ok()) {
            QTextStream(stderr) << decoded->error() << '\n';
            std::exit(1);
        }
        HealthReport applied;
        policy.push_back(timeMs(
            [&] { applied = ServerMonitor::applyServicePolicy(decoded->value(), profile); }));
        checks = applied.checks.size();
        total.push_back(decode.back() + policy.back());
    }
    const double megabytes = bytes.size() / 1e6;
    const QJsonObject line{{QStringLiteral("label"), QString::fromLatin1(label)},
                           {QStringLiteral("bytes"), bytes.size()},
                           {QStringLiteral("checks"), checks},
                           {QStringLiteral("rounds"), static_cast<qint64>(total.size())},
                           {QStringLiteral("parseMs"), median(parse)},
                           {QStringLiteral("decodeMs"), median(decode)},
                           {QStringLiteral("policyMs"), median(policy)},
                           {QStringLiteral("totalMs"), median(total)},
                           {QStringLiteral("mbPerS"), megabytes / (median(total) / 1e3)}};
    QTextStream(stdout) << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = QCoreApplication::arguments().contains(QStringLiteral("--once"));
    measure("large", makeReport(100000, 200, 10'000'000), quick ? 1 : 5, quick ? 0 : 3);
    measure("typical", makeReport(30, 12, 5'000), quick ? 1 : 200, quick ? 0 : 1);
    return 0;
}
