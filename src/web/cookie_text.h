#pragma once

#include <QString>

namespace skysail {

// Cookie text: name=value pieces joined by "; ".

// Merges returned into cookies: returned pieces first, then the old pieces whose name is
// not among them; pieces ending in "=deleted" are dropped. Both variables lose their
// spaces (full-width ones too). Returns the new cookie text.
QString MergeCookies(QString& cookies, QString& returned);
// The name of a name=value piece (the whole piece without "="), trimmed.
QString CookieName(const QString& item);

// MergeCookies followed by DedupeParts(…, "; "); older receives the result, newer loses
// its spaces.
QString MergeCookiesUnique(QString& older, QString& newer);
// The pieces of text (split at separator) with later exact repeats removed.
QString DedupeParts(const QString& text, const QString& separator);

// The header block with every spelling of "Set-Cookie" written "Set-Cookie".
QString NormalizeSetCookie(const QString& rawHeaders);
// The name=value pieces of the Set-Cookie lines of a header block (any case), without
// their attributes, joined by "; ".
QString CookiesFromHeaders(const QString& rawHeaders);

} // namespace skysail
