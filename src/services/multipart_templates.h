#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace skysail {

// Each service gets one fixed multipart body with a fixed boundary, field names, file name
// and content type; the placeholder 图片 (GBK CD BC C6 AC) stands where the image goes. The
// file name and type never follow the real image: the services accept them as they are.
// The bytes are GBK text, CR LF line ends, no line end after the closing delimiter.

// 211 bytes: field "file", a GIF name, image/gif.
QByteArrayView SinaimgTemplate();
// 296 bytes: field "smfile", a PNG name with GBK characters, image/png, then file_id=0.
QByteArrayView SmTemplate();
// 219 bytes: field "uploaded_file[]", a JPEG name, image/jpeg, the image followed by an extra CR LF.
QByteArrayView UploadTemplate();

// The Content-Type line of each template's boundary (four dashes; the body has six).
QByteArrayView SinaimgContentType();
QByteArrayView SmContentType();
QByteArrayView UploadContentType();

// The placeholder's bytes.
QByteArrayView TemplatePlaceholder();

// The body: the template with every placeholder replaced by the image bytes. Inserted bytes
// are never scanned again, so an image that holds the placeholder's bytes arrives unchanged.
QByteArray FillTemplate(QByteArrayView templateText, QByteArrayView image);

} // namespace skysail
