#pragma once

#include "records/ServerProfile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// The settings window's texts and the checks behind its messages, as plain functions so they
// can be tested without a window.
namespace corvane::settingstexts {

// "Add a server" while a new, unsaved profile is edited.
[[nodiscard]] QString editorTitle(const std::optional<QUuid>& editingID);

// The refresh interval choices in minutes, in the order offered.
[[nodiscard]] const QList<qint64>& intervalChoices();
[[nodiscard]] QString intervalLabel(qint64 minutes);

[[nodiscard]] QString helpText();
[[nodiscard]] QString formMessage();
[[nodiscard]] QString serviceNameMessage();
[[nodiscard]] QString serviceExplanation();
[[nodiscard]] QString noServicesText();
[[nodiscard]] QString requireTooltip(const QString& service);

// "Required: " and the names in code point order after canonical normalisation; the stored
// order is left alone. Empty for no names.
[[nodiscard]] QString requiredSummary(const QStringList& names);

// The form's whitespace: spaces and tabs only, so a lone line break is content.
[[nodiscard]] QString trimFormText(const QString& text);
// As typed: an optional sign, ASCII digits, nothing else, from 1 to 65535.
[[nodiscard]] bool isValidPort(const QString& port);
// Whether the draft may be saved.
[[nodiscard]] bool passesForm(const ServerProfile& draft);

// The add field's text without whitespace and line breaks at either end.
[[nodiscard]] QString trimServiceName(const QString& text);
// A trimmed name made only of ASCII letters, digits, "@", "_", "." and "-".
[[nodiscard]] bool isValidServiceName(const QString& trimmed);

} // namespace corvane::settingstexts
