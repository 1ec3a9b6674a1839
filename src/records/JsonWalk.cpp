#include "JsonWalk.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QMetaType>
#include <QVariant>

#include <cmath>
#include <optional>

namespace corvane::json {

namespace {

QString parseProblem(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("an object is not closed");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("expected ':' after a key");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("an array is not closed");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("expected ',' between values");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("unexpected character");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("the document ends inside a number");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("malformed number");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("invalid escape sequence in a string");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("invalid UTF-8 in a string");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("a string is not closed");
    case QJsonParseError::MissingObject:
        return QStringLiteral("expected an object");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("nested too deeply");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("the document is too large");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("garbage at the end of the document");
    case QJsonParseError::NoError:
        break;
    }
    return QStringLiteral("unreadable");
}

bool isBlank(const QByteArray& bytes)
{
    for (char c : bytes)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return false;
    return true;
}

// Qt's reader lets raw control characters through inside strings (a NUL in a host name, a
// line break in a detail); JSON forbids them, and they would reach the screen as they are.
std::optional<qsizetype> firstRawControl(const QByteArray& bytes)
{
    bool inString = false;
    bool escaped = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (inString) {
            if (c < 0x20)
                return i;
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        }
    }
    return std::nullopt;
}

QJsonDocument parseDocument(const QByteArray& bytes)
{
    if (isBlank(bytes))
        throw Failure{
            QStringLiteral("not valid JSON at byte %1 (the document is empty)").arg(bytes.size())};
    if (const std::optional<qsizetype> at = firstRawControl(bytes))
        throw Failure{QStringLiteral("not valid JSON at byte %1 (a control character must be "
                                     "escaped)")
                          .arg(*at)};
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw Failure{QStringLiteral("not valid JSON at byte %1 (%2)")
                          .arg(error.offset)
                          .arg(parseProblem(error.error))};
    return document;
}

} // namespace

Path Path::key(const QString& name) const
{
    Path p;
    p.m_parent = this;
    p.m_key = name;
    return p;
}

Path Path::index(qsizetype i) const
{
    Path p;
    p.m_parent = this;
    p.m_index = i;
    return p;
}

void Path::append(QString& out) const
{
    if (!m_parent)
        return;
    m_parent->append(out);
    if (m_index >= 0) {
        out += QStringLiteral("[%1]").arg(m_index);
        return;
    }
    if (!out.isEmpty())
        out += QLatin1Char('.');
    out += quoted(m_key);
}

QString Path::text() const
{
    QString out;
    append(out);
    return out.isEmpty() ? QStringLiteral("the document") : out;
}

QString quoted(const QString& text)
{
    constexpr qsizetype kLongest = 60;
    QString out = QStringLiteral("\"");
    const QString shown = text.size() > kLongest ? text.left(kLongest) : text;
    for (QChar c : shown) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7f ||
                   c.category() == QChar::Other_Format || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    if (shown.size() != text.size())
        out += QStringLiteral("\u2026");
    out += QLatin1Char('"');
    return out;
}

QJsonObject parseObjectDocument(const QByteArray& bytes)
{
    const QJsonDocument document = parseDocument(bytes);
    if (!document.isObject())
        throw Failure{QStringLiteral("the document must be a JSON object")};
    return document.object();
}

QJsonArray parseArrayDocument(const QByteArray& bytes)
{
    const QJsonDocument document = parseDocument(bytes);
    if (!document.isArray())
        throw Failure{QStringLiteral("the document must be a JSON array")};
    return document.array();
}

std::optional<QJsonValue> optionalValue(const QJsonObject& object, const QString& key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    return *it;
}

QJsonValue requiredValue(const QJsonObject& object, const QString& key, const Path& at)
{
    std::optional<QJsonValue> value = optionalValue(object, key);
    if (!value)
        throw Failure{QStringLiteral("missing %1").arg(at.key(key).text())};
    return *value;
}

QString asString(const QJsonValue& value, const Path& at)
{
    if (!value.isString())
        throw Failure{QStringLiteral("%1 must be a string").arg(at.text())};
    return value.toString();
}

std::optional<qint64> exactInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const QVariant variant = value.toVariant();
    if (variant.metaType().id() != QMetaType::LongLong)
        return std::nullopt;
    return variant.toLongLong();
}

qint64 asInteger(const QJsonValue& value, const Path& at)
{
    if (std::optional<qint64> integer = exactInteger(value))
        return *integer;
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d))
            throw Failure{QStringLiteral("%1 is out of range for a 64-bit integer").arg(at.text())};
    }
    throw Failure{QStringLiteral("%1 must be an integer").arg(at.text())};
}

bool asBool(const QJsonValue& value, const Path& at)
{
    if (!value.isBool())
        throw Failure{QStringLiteral("%1 must be true or false").arg(at.text())};
    return value.toBool();
}

QJsonArray asArray(const QJsonValue& value, const Path& at)
{
    if (!value.isArray())
        throw Failure{QStringLiteral("%1 must be an array").arg(at.text())};
    return value.toArray();
}

QJsonObject asObject(const QJsonValue& value, const Path& at)
{
    if (!value.isObject())
        throw Failure{QStringLiteral("%1 must be an object").arg(at.text())};
    return value.toObject();
}

QStringList asStringList(const QJsonValue& value, const Path& at)
{
    const QJsonArray array = asArray(value, at);
    QStringList list;
    list.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i)
        list.append(asString(array.at(i), at.index(i)));
    return list;
}

} // namespace corvane::json
