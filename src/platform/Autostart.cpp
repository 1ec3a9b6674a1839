#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace corvane::autostart {

namespace {

// Quoting of the Exec key: reserved characters make the whole argument quoted, and inside
// quotes ", `, $ and \ are escaped.
QString quotedExec(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (QChar c : program)
        if (reserved.contains(c))
            needsQuotes = true;
    QString out = program;
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needsQuotes)
        return out;
    QString quoted;
    for (QChar c : out) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // The desktop file's own string escaping doubles every backslash once more.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString filePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/corvane-monitor.desktop");
}

bool isEnabled(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "Hidden" && value == "true")
            return false;
        if (key == "X-GNOME-Autostart-enabled" && value == "false")
            return false;
    }
    return true;
}

QByteArray entry(const QString& executable)
{
    return QByteArray("[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Corvane Monitor\n"
                      "Comment=Watch the health of your Linux servers from the tray\n"
                      "Exec=") +
           quotedExec(executable).toUtf8() +
           QByteArray("\n"
                      "Icon=corvane-monitor\n"
                      "Terminal=false\n"
                      "Categories=System;Monitor;\n"
                      "StartupNotify=false\n"
                      "X-GNOME-Autostart-enabled=true\n");
}

bool setEnabled(bool on, const QString& executable, const QString& path)
{
    if (!on)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entry(executable));
    return file.commit();
}

} // namespace corvane::autostart
