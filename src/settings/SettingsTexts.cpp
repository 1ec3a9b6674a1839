#include "SettingsTexts.h"

#include <QRegularExpression>

#include <algorithm>

namespace corvane::settingstexts {

QString editorTitle(const std::optional<QUuid>& editingID)
{
    return editingID ? QStringLiteral("Connection details") : QStringLiteral("Add a server");
}

const QList<qint64>& intervalChoices()
{
    static const QList<qint64> choices{1, 5, 10, 15, 30};
    return choices;
}

QString intervalLabel(qint64 minutes)
{
    return QStringLiteral("%1 min").arg(minutes);
}

QString helpText()
{
    return QStringLiteral(
        "Use the Corvane adapter for Corvane, or install server/remote-health-json on other Linux "
        "servers. SSH must work without interactive prompts. SSH known_hosts is enforced.");
}

QString formMessage()
{
    return QStringLiteral("Enter a name, host, SSH username, valid port and remote command.");
}

QString serviceNameMessage()
{
    return QStringLiteral("Use a valid systemd service name (letters, digits, @, _, -, or .).");
}

QString serviceExplanation()
{
    return QStringLiteral(
        "Mark critical services as Required. Missing or non-running required services count as "
        "failures. Optional services not installed do not affect health.");
}

QString noServicesText()
{
    return QStringLiteral(
        "No service discovery data yet. Refresh the server or add a required service below.");
}

QString requireTooltip(const QString& service)
{
    return QStringLiteral("Require ") + service + QStringLiteral(" to be running");
}

QString requiredSummary(const QStringList& names)
{
    if (names.isEmpty())
        return {};
    // Code points, not UTF-16 units: a surrogate pair sorts after U+E000..U+FFFF.
    QList<std::pair<QList<uint>, QString>> keyed;
    keyed.reserve(names.size());
    for (const QString& name : names)
        keyed.append({name.normalized(QString::NormalizationForm_C).toUcs4(), name});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList sorted;
    sorted.reserve(keyed.size());
    for (const auto& entry : std::as_const(keyed))
        sorted.append(entry.second);
    return QStringLiteral("Required: ") + sorted.join(QStringLiteral(", "));
}

namespace {

bool isFormSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

} // namespace

QString trimFormText(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isFormSpace(text.at(begin)))
        ++begin;
    while (end > begin && isFormSpace(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool isValidPort(const QString& port)
{
    static const QRegularExpression decimal(QStringLiteral("\\A[+-]?[0-9]+\\z"));
    if (!decimal.match(port).hasMatch())
        return false;
    bool fits = false;
    const qlonglong value = port.toLongLong(&fits);
    return fits && value >= 1 && value <= 65535;
}

bool passesForm(const ServerProfile& draft)
{
    return !trimFormText(draft.name).isEmpty() && !trimFormText(draft.host).isEmpty() &&
           !trimFormText(draft.user).isEmpty() && isValidPort(draft.port) &&
           !trimFormText(draft.remoteCommand).isEmpty();
}

QString trimServiceName(const QString& text)
{
    return text.trimmed();
}

bool isValidServiceName(const QString& trimmed)
{
    static const QRegularExpression pattern(QStringLiteral("\\A[a-zA-Z0-9@_.-]+\\z"));
    return pattern.match(trimmed).hasMatch();
}

} // namespace corvane::settingstexts
