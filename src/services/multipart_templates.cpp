#include "services/multipart_templates.h"

namespace skysail {
namespace {

// GBK bytes: 图片 = CD BC C6 AC, 截图 = BD D8 CD BC.
constexpr char kSinaimg[] = "------WebKitFormBoundarykbmjvH1knMdq4icr\r\n"
                            "Content-Disposition: form-data; name=\"file\"; "
                            "filename=\"e8fd0fb1gy1fh3827un40g20l402imza.gif\"\r\n"
                            "Content-Type: image/gif\r\n"
                            "\r\n"
                            "\xCD\xBC\xC6\xAC\r\n"
                            "------WebKitFormBoundarykbmjvH1knMdq4icr--";

constexpr char kSm[] = "------WebKitFormBoundaryKV1UABbXnWgQiZBs\r\n"
                       "Content-Disposition: form-data; name=\"smfile\"; filename=\"QQ\xBD\xD8\xCD\xBC"
                       "20180115133921.png\"\r\n"
                       "Content-Type: image/png\r\n"
                       "\r\n"
                       "\xCD\xBC\xC6\xAC\r\n"
                       "------WebKitFormBoundaryKV1UABbXnWgQiZBs\r\n"
                       "Content-Disposition: form-data; name=\"file_id\"\r\n"
                       "\r\n"
                       "0\r\n"
                       "------WebKitFormBoundaryKV1UABbXnWgQiZBs--";

constexpr char kUpload[] = "------WebKitFormBoundaryTYmBt5ALABQkvKH5\r\n"
                           "Content-Disposition: form-data; name=\"uploaded_file[]\"; "
                           "filename=\"Screenshot_20180929-104058.jpg\"\r\n"
                           "Content-Type: image/jpeg\r\n"
                           "\r\n"
                           "\xCD\xBC\xC6\xAC\r\n"
                           "\r\n"
                           "------WebKitFormBoundaryTYmBt5ALABQkvKH5--";

constexpr char kPlaceholder[] = "\xCD\xBC\xC6\xAC";

template <size_t N> constexpr QByteArrayView View(const char (&text)[N])
{
    return QByteArrayView(text, N - 1);
}

} // namespace

QByteArrayView SinaimgTemplate()
{
    return View(kSinaimg);
}

QByteArrayView SmTemplate()
{
    return View(kSm);
}

QByteArrayView UploadTemplate()
{
    return View(kUpload);
}

QByteArrayView SinaimgContentType()
{
    return "Content-Type: multipart/form-data; boundary=----WebKitFormBoundarykbmjvH1knMdq4icr";
}

QByteArrayView SmContentType()
{
    return "Content-Type: multipart/form-data; boundary=----WebKitFormBoundaryKV1UABbXnWgQiZBs";
}

QByteArrayView UploadContentType()
{
    return "Content-Type: multipart/form-data; boundary=----WebKitFormBoundaryTYmBt5ALABQkvKH5";
}

QByteArrayView TemplatePlaceholder()
{
    return View(kPlaceholder);
}

QByteArray FillTemplate(QByteArrayView templateText, QByteArrayView image)
{
    const QByteArrayView placeholder = TemplatePlaceholder();
    QByteArray body;
    body.reserve(templateText.size() - placeholder.size() + image.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = templateText.indexOf(placeholder, from);
        if (at < 0)
            break;
        body.append(templateText.sliced(from, at - from));
        body.append(image);
        from = at + placeholder.size();
    }
    body.append(templateText.sliced(from));
    return body;
}

} // namespace skysail
