#include "support/multipart_reader.h"

namespace skysail::test {
namespace {

QByteArray Lower(QByteArray text)
{
    return text.toLower();
}

// The value of parameter `name` in a header value such as `form-data; name="x"`: quoted
// (with backslash escapes) or a bare token.
std::optional<QByteArray> Parameter(const QByteArray& headerValue, const QByteArray& name)
{
    qsizetype at = 0;
    while ((at = headerValue.indexOf(';', at)) >= 0) {
        ++at;
        while (at < headerValue.size() && (headerValue[at] == ' ' || headerValue[at] == '\t'))
            ++at;
        const qsizetype equals = headerValue.indexOf('=', at);
        if (equals < 0)
            return std::nullopt;
        const QByteArray key = Lower(headerValue.mid(at, equals - at).trimmed());
        qsizetype valueAt = equals + 1;
        QByteArray value;
        if (valueAt < headerValue.size() && headerValue[valueAt] == '"') {
            ++valueAt;
            while (valueAt < headerValue.size() && headerValue[valueAt] != '"') {
                if (headerValue[valueAt] == '\\' && valueAt + 1 < headerValue.size())
                    ++valueAt;
                value.append(headerValue[valueAt++]);
            }
            if (valueAt >= headerValue.size())
                return std::nullopt; // unterminated quote
        } else {
            const qsizetype end = headerValue.indexOf(';', valueAt);
            value = headerValue.mid(valueAt, end < 0 ? -1 : end - valueAt).trimmed();
        }
        if (key == name)
            return value;
        at = valueAt;
    }
    return std::nullopt;
}

} // namespace

std::optional<QList<FormPart>> ReadMultipart(const QByteArray& contentTypeValue, const QByteArray& body)
{
    if (!Lower(contentTypeValue).trimmed().startsWith("multipart/form-data"))
        return std::nullopt;
    const std::optional<QByteArray> boundary = Parameter(contentTypeValue, "boundary");
    if (!boundary || boundary->isEmpty() || boundary->size() > 70)
        return std::nullopt;

    const QByteArray dashBoundary = "--" + *boundary;
    const QByteArray delimiter = "\r\n" + dashBoundary;
    // The first delimiter may open the body directly, or follow a preamble and CR LF.
    qsizetype at;
    if (body.startsWith(dashBoundary)) {
        at = dashBoundary.size();
    } else {
        const qsizetype first = body.indexOf(delimiter);
        if (first < 0)
            return std::nullopt;
        at = first + delimiter.size();
    }

    QList<FormPart> parts;
    for (;;) {
        if (body.mid(at, 2) == "--")
            break; // closing delimiter
        // Transport padding, then CR LF.
        while (at < body.size() && (body[at] == ' ' || body[at] == '\t'))
            ++at;
        if (body.mid(at, 2) != "\r\n")
            return std::nullopt;
        at += 2;

        const qsizetype headersEnd = body.indexOf("\r\n\r\n", at);
        if (headersEnd < 0)
            return std::nullopt;
        FormPart part;
        QByteArray disposition;
        if (headersEnd > at) {
            for (const QByteArray& line : body.mid(at, headersEnd - at).split('\n')) {
                const QByteArray header = line.endsWith('\r') ? line.chopped(1) : line;
                const qsizetype colon = header.indexOf(':');
                if (colon <= 0)
                    return std::nullopt;
                part.headerLines.append(header);
                const QByteArray headerName = Lower(header.left(colon).trimmed());
                const QByteArray value = header.mid(colon + 1).trimmed();
                if (headerName == "content-disposition")
                    disposition = value;
                else if (headerName == "content-type")
                    part.contentType = value;
            }
        }
        if (!Lower(disposition).startsWith("form-data"))
            return std::nullopt;
        const std::optional<QByteArray> name = Parameter(disposition, "name");
        if (!name)
            return std::nullopt;
        part.name = *name;
        part.fileName = Parameter(disposition, "filename");

        const qsizetype contentAt = headersEnd + 4;
        const qsizetype next = body.indexOf(delimiter, contentAt);
        if (next < 0)
            return std::nullopt;
        part.content = body.mid(contentAt, next - contentAt);
        parts.append(part);
        at = next + delimiter.size();
    }
    return parts;
}

} // namespace skysail::test
