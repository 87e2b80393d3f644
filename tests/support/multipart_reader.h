#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace skysail::test {

// One part of a multipart/form-data body.
struct FormPart
{
    QByteArray name; // the form field name
    std::optional<QByteArray> fileName; // raw bytes of filename="...", when given
    QByteArray contentType; // the part's Content-Type, empty when absent
    QList<QByteArray> headerLines;
    QByteArray content;
};

// Reads a multipart/form-data body the way a server does (RFC 7578 on RFC 2046), written
// without looking at how our clients build theirs: the boundary comes from the Content-Type
// header value, each part needs a Content-Disposition of form-data with a name, and the body
// must end with the closing delimiter. Nothing when the body is not well formed.
std::optional<QList<FormPart>> ReadMultipart(const QByteArray& contentTypeValue, const QByteArray& body);

} // namespace skysail::test
