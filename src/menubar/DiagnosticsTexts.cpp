#include "DiagnosticsTexts.h"

namespace corvane::texts {

QString diagnosticsTitle(const std::optional<ServerProfile>& selected)
{
    // An empty name stays empty: only a missing selection takes the generic word.
    const QString name = selected ? selected->name : QStringLiteral("Server");
    return name + QString::fromUtf8(" — Diagnostics");
}

QString diagnosticsHint()
{
    return QStringLiteral("Select a server in the menu bar to change this report.");
}

QString checkCopyText(const HealthCheck& check)
{
    return check.detail;
}

} // namespace corvane::texts
