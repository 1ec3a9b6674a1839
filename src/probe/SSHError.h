#pragma once

#include <QString>

namespace corvane {

class SSHError
{
public:
    enum class Kind
    {
        process,
        invalidSettings,
        invalidResponse
    };

    static SSHError process(QString message) { return SSHError(Kind::process, std::move(message)); }
    static SSHError invalidSettings() { return SSHError(Kind::invalidSettings, {}); }
    static SSHError invalidResponse() { return SSHError(Kind::invalidResponse, {}); }

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] QString errorDescription() const;

    friend bool operator==(const SSHError&, const SSHError&) = default;

private:
    SSHError(Kind kind, QString payload) : m_kind(kind), m_payload(std::move(payload)) {}
    Kind m_kind;
    QString m_payload;
};

} // namespace corvane
