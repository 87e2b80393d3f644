#pragma once

#include <QByteArray>
#include <QString>

namespace skysail {

// Code pages the conversions understand (the Windows numbers, so callers read the same).
inline constexpr int kCodePageSystem = 0; // CP_ACP: the system code page, GBK for our users
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001; // CP_UTF8

// The text between the first `left` at or after `start` (1-based, 0 or less: the beginning)
// and the next `right` after it; empty when either marker is missing. "#引号" in a marker
// stands for a double quote. Letters A-Z match regardless of case unless caseSensitive; no
// other character is folded. Matches start on whole characters only.
QString TextBetween(
    const QString& text, const QString& left, const QString& right, int start = 0, bool caseSensitive = false);

// The conversion family works on encoded bytes: "text" arguments are GBK (or, where named,
// UTF-8) byte strings that end at their first zero byte, UTF-16 is little-endian bytes.
// Nothing fails visibly: undecodable bytes become U+FFFD, characters GBK cannot hold "?".

// UTF-8 reply bytes (the whole length, zero bytes included) to GBK text.
QByteArray Utf8BytesToText(const QByteArray& bytes);
// UTF-8 bytes to UTF-16 code units, without a terminating zero.
QByteArray Utf8BytesToUtf16(const QByteArray& bytes);
// UTF-16 to GBK text, composing base + combining marks where GBK has the precomposed form.
QByteArray Utf16ToGbkText(const QByteArray& wide);
// GBK text to UTF-16 ending in a zero code unit; an empty text gives empty bytes.
QByteArray TextToUtf16(const QByteArray& text);
// UTF-8 text to GBK text.
QByteArray Utf8TextToGbk(const QByteArray& text);
// GBK text to UTF-8 text (中 D6 D0 becomes E4 B8 AD).
QByteArray GbkTextToUtf8(const QByteArray& text);
// Decodes text from codePage (useCodePage) or from UTF-8 into UTF-16 ending in a zero unit.
QByteArray MultiByteToUtf16(const QByteArray& text, int codePage, bool useCodePage);
// Encodes UTF-16 up to its first zero unit into codePage (useCodePage) or the system code page.
QByteArray Utf16ToMultiByte(const QByteArray& wide, int codePage, bool useCodePage);

// QString <-> little-endian UTF-16 bytes (an odd trailing byte is dropped).
QByteArray ToUtf16Bytes(const QString& text);
QString FromUtf16Bytes(const QByteArray& wide);

} // namespace skysail
