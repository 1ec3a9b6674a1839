#include "SSHError.h"

namespace corvane {

QString SSHError::errorDescription() const
{
    switch (m_kind) {
    case Kind::process:
        return m_payload;
    case Kind::invalidSettings:
        return QStringLiteral("Invalid SSH settings (host, user, port or command).");
    case Kind::invalidResponse:
        return QStringLiteral("Invalid health JSON. Install the remote health adapter.");
    }
    return m_payload;
}

} // namespace corvane
