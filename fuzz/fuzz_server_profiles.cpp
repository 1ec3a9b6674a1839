// The stored profile list decoder on hostile bytes.
#include "records/ServerProfile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Result<QList<ServerProfile>> decoded = decodeServerProfiles(bytes);
    if (!decoded)
        return 0;
    // An accepted list is stored again on the next save: it must read back the same.
    const Result<QList<ServerProfile>> again =
        decodeServerProfiles(encodeServerProfiles(decoded.value()));
    if (!again || again.value() != decoded.value())
        std::abort();
    for (const ServerProfile& profile : decoded.value())
        if (parseUuid(uuidText(profile.id)) != profile.id)
            std::abort();
    return 0;
}
