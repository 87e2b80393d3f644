// Feeds arbitrary reply text to JsonDocument::Parse and arbitrary member paths to the reads
// and changes. Input layout: paths, one per line, up to the first zero byte; the reply after it.
#include "web/json_document.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray pathBytes = split < 0 ? QByteArray() : input.left(split);
    const QByteArray reply = split < 0 ? input : input.mid(split + 1);

    skysail::JsonDocument document;
    document.Parse(QString::fromUtf8(reply));
    QStringList names;
    for (const QByteArray& line : pathBytes.split('\n')) {
        const QString path = QString::fromUtf8(line);
        (void)document.GetText(path);
        (void)document.GetText(path, true);
        (void)document.TypeOf(path);
        (void)document.Count(path);
        (void)document.GetNumber(path);
        (void)document.MemberNames(names, path);
        (void)document.GetObject(path).ToText();
        (void)document.GetElementText(0, path);
    }
    (void)document.ToText();

    // The same text handed in as values, through a second handle.
    skysail::JsonDocument handle = document;
    handle.SetMemberJson(QStringLiteral("a"), QString::fromUtf8(reply));
    handle.Push(QString::fromUtf8(reply), QString::fromUtf8(pathBytes.left(64)), true);
    (void)document.ToText();
    return 0;
}
