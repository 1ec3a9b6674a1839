#pragma once

#include <QString>

// Start at login through the XDG autostart folder. The file is the only place the setting
// lives, so that desktop tools that edit it and the app always agree.
namespace corvane::autostart {

// $XDG_CONFIG_HOME/autostart/corvane-monitor.desktop, or ~/.config/... when unset or empty.
[[nodiscard]] QString filePath();

// On when the file exists and does not hide itself (Hidden=true, or GNOME's
// X-GNOME-Autostart-enabled=false).
[[nodiscard]] bool isEnabled(const QString& path = filePath());

// Writes (atomically) or removes the file; false, with the file as it was, when that fails.
bool setEnabled(bool on, const QString& executable, const QString& path = filePath());

// The entry written for the given program.
[[nodiscard]] QByteArray entry(const QString& executable);

} // namespace corvane::autostart
