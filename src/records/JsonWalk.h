#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

// A strict, typed walk over a parsed JSON document. Every failure carries a one-line text
// that names where in the document it happened, for example "checks"[41]."status".
namespace corvane::json {

// Where a value sits in the document. The text is built only when an error needs it: a path
// points at its parent, so keep the parent alive (a named variable) while the child is used.
class Path
{
public:
    [[nodiscard]] Path key(const QString& name) const;
    [[nodiscard]] Path index(qsizetype i) const;
    [[nodiscard]] QString text() const;
    [[nodiscard]] bool isRoot() const { return m_parent == nullptr; }

private:
    void append(QString& out) const;

    const Path* m_parent = nullptr;
    QString m_key;          // when not an index step
    qsizetype m_index = -1; // -1: a key step
};

struct Failure
{
    QString what;
};

// Renders untrusted text for an error line: JSON-escaped, quoted, shortened.
[[nodiscard]] QString quoted(const QString& text);

// Parses a whole document whose top level must be an object; whitespace around it is fine,
// anything else is not. Throws Failure.
[[nodiscard]] QJsonObject parseObjectDocument(const QByteArray& bytes);
[[nodiscard]] QJsonArray parseArrayDocument(const QByteArray& bytes);

// Missing and null both count as absent.
[[nodiscard]] std::optional<QJsonValue> optionalValue(const QJsonObject& object,
                                                      const QString& key);
[[nodiscard]] QJsonValue requiredValue(const QJsonObject& object, const QString& key,
                                       const Path& at);

[[nodiscard]] QString asString(const QJsonValue& value, const Path& at);
[[nodiscard]] qint64 asInteger(const QJsonValue& value, const Path& at);
[[nodiscard]] bool asBool(const QJsonValue& value, const Path& at);
[[nodiscard]] QJsonArray asArray(const QJsonValue& value, const Path& at);
[[nodiscard]] QJsonObject asObject(const QJsonValue& value, const Path& at);
[[nodiscard]] QStringList asStringList(const QJsonValue& value, const Path& at);

// The reader keeps integers that fit 64 bits exactly; anything else is a double.
[[nodiscard]] std::optional<qint64> exactInteger(const QJsonValue& value);

} // namespace corvane::json
