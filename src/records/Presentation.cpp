#include "Presentation.h"

namespace corvane {

QString colorRoleName(ColorRole role)
{
    switch (role) {
    case ColorRole::secondary:
        return QStringLiteral("secondary");
    case ColorRole::gray:
        return QStringLiteral("gray");
    case ColorRole::red:
        return QStringLiteral("red");
    case ColorRole::orange:
        return QStringLiteral("orange");
    case ColorRole::green:
        return QStringLiteral("green");
    case ColorRole::accent:
        return QStringLiteral("accent");
    }
    return QStringLiteral("secondary");
}

} // namespace corvane
