// Writes count integer keys "<prefix>.<n>" to one settings file, one write per key, so that a
// test can run two of these against the same file at once. Exits non-zero when any write did not
// reach the disk or a value it wrote does not read back.

#include "platform/JsonFileSettingsStore.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE PREFIX COUNT\n", argv[0]);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const qint64 count = QByteArray(argv[3]).toLongLong();

    corvane::JsonFileSettingsStore store(file);
    for (qint64 n = 0; n < count; ++n) {
        const QString key = prefix + QLatin1Char('.') + QString::number(n);
        store.set(key, corvane::SettingsValue(n));
        if (!store.lastWriteError().isEmpty()) {
            std::fprintf(stderr, "write %lld failed: %s\n", static_cast<long long>(n),
                         qPrintable(store.lastWriteError()));
            return 1;
        }
        if (store.integer(key) != n) {
            std::fprintf(stderr, "%s does not read back\n", qPrintable(key));
            return 1;
        }
        // A blob as well, so that every replace rewrites a file of some size.
        store.set(prefix + QStringLiteral(".blob"), corvane::SettingsValue(QByteArray(512, 'x')));
    }
    return 0;
}
