#include "web/text_utils.h"

#include "platform/gbk_codec.h"

#include <QtEndian>

namespace skysail {
namespace {

const QString kQuotePlaceholder = QStringLiteral("#引号");

QChar FoldAscii(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(u + (u'a' - u'A')) : c;
}

bool MatchesAt(const QString& text, qsizetype at, const QString& marker, bool caseSensitive)
{
    if (text.size() - at < marker.size())
        return false;
    for (qsizetype i = 0; i < marker.size(); ++i) {
        const QChar a = text[at + i];
        const QChar b = marker[i];
        if (a == b)
            continue;
        if (caseSensitive || FoldAscii(a) != FoldAscii(b))
            return false;
    }
    return true;
}

// Position of marker at or after `from`, stepping over whole characters; -1 when absent.
qsizetype FindMarker(const QString& text, const QString& marker, qsizetype from, bool caseSensitive)
{
    for (qsizetype at = from; at + marker.size() <= text.size(); ++at) {
        if (at > 0 && at < text.size() && text[at].isLowSurrogate() && text[at - 1].isHighSurrogate())
            continue;
        if (MatchesAt(text, at, marker, caseSensitive))
            return at;
    }
    return -1;
}

QByteArray UpToZero(const QByteArray& text)
{
    const qsizetype zero = text.indexOf('\0');
    return zero < 0 ? text : text.left(zero);
}

QByteArray WithZeroUnit(const QString& text)
{
    QByteArray wide = ToUtf16Bytes(text);
    wide.append(2, '\0');
    return wide;
}

QString UpToZeroUnit(const QString& text)
{
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

// Decodes with the named code page; an unknown code page decodes nothing, as the Windows
// call fails on one.
bool Decode(const QByteArray& text, int codePage, QString& out)
{
    switch (codePage) {
    case kCodePageSystem:
    case kCodePageGbk:
        out = GbkDecode(text);
        return true;
    case kCodePageUtf8:
        out = QString::fromUtf8(text);
        return true;
    default:
        return false;
    }
}

bool Encode(const QString& text, int codePage, QByteArray& out)
{
    switch (codePage) {
    case kCodePageSystem:
    case kCodePageGbk:
        out = GbkEncode(text);
        return true;
    case kCodePageUtf8:
        out = text.toUtf8();
        return true;
    default:
        return false;
    }
}

} // namespace

QString TextBetween(const QString& text, const QString& left, const QString& right, int start, bool caseSensitive)
{
    QString leftMarker = left;
    QString rightMarker = right;
    leftMarker.replace(kQuotePlaceholder, QStringLiteral("\""));
    rightMarker.replace(kQuotePlaceholder, QStringLiteral("\""));

    const qsizetype from = start > 0 ? start - 1 : 0;
    if (from > text.size())
        return {};
    const qsizetype leftAt = FindMarker(text, leftMarker, from, caseSensitive);
    if (leftAt < 0)
        return {};
    const qsizetype p = leftAt + leftMarker.size();
    const qsizetype rightAt = FindMarker(text, rightMarker, p, caseSensitive);
    if (rightAt < 0)
        return {};
    return text.mid(p, rightAt - p);
}

QByteArray ToUtf16Bytes(const QString& text)
{
    QByteArray wide(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), wide.data());
    return wide;
}

QString FromUtf16Bytes(const QByteArray& wide)
{
    const qsizetype units = wide.size() / 2;
    QString text(units, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(wide.constData(), units, text.data());
    return text;
}

QByteArray Utf8BytesToText(const QByteArray& bytes)
{
    return Utf16ToGbkText(Utf8BytesToUtf16(bytes));
}

QByteArray Utf8BytesToUtf16(const QByteArray& bytes)
{
    return ToUtf16Bytes(QString::fromUtf8(bytes));
}

QByteArray Utf16ToGbkText(const QByteArray& wide)
{
    const QString text = FromUtf16Bytes(wide).normalized(QString::NormalizationForm_C);
    return UpToZero(GbkEncode(text));
}

QByteArray TextToUtf16(const QByteArray& text)
{
    const QByteArray gbk = UpToZero(text);
    if (gbk.isEmpty())
        return {};
    return WithZeroUnit(GbkDecode(gbk));
}

QByteArray MultiByteToUtf16(const QByteArray& text, int codePage, bool useCodePage)
{
    const QByteArray source = UpToZero(text);
    if (source.isEmpty())
        return {};
    QString decoded;
    if (!Decode(source, useCodePage ? codePage : kCodePageUtf8, decoded))
        return {};
    return WithZeroUnit(decoded);
}

QByteArray Utf16ToMultiByte(const QByteArray& wide, int codePage, bool useCodePage)
{
    const QString source = UpToZeroUnit(FromUtf16Bytes(wide));
    if (source.isEmpty())
        return {};
    QByteArray encoded;
    if (!Encode(source, useCodePage ? codePage : kCodePageSystem, encoded))
        return {};
    return UpToZero(encoded);
}

QByteArray Utf8TextToGbk(const QByteArray& text)
{
    return Utf16ToMultiByte(MultiByteToUtf16(text, 0, false), kCodePageGbk, true);
}

QByteArray GbkTextToUtf8(const QByteArray& text)
{
    return Utf16ToMultiByte(MultiByteToUtf16(text, kCodePageGbk, true), kCodePageUtf8, true);
}

} // namespace skysail
