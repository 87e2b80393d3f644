// Settings files come from disk, where anything may have been written into them: reading
// any bytes must not crash, and a write must keep every line it did not replace.
#include "settings/ini_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.ini"));
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(input);
    }
    const skysail::IniFile ini(path);
    (void)ini.Read(QStringLiteral("图床选择"), QStringLiteral("偷揉图床"));
    (void)ini.Read(QStringLiteral("s"), QStringLiteral("k"));
    if (ini.Write(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("开启"))
        && ini.Read(QStringLiteral("s"), QStringLiteral("k")) != QStringLiteral("开启")) {
        // The first [s] might hold an earlier k that a later line shadows; a read after a
        // write of the same key must still find the new value.
        std::abort();
    }
    return 0;
}
