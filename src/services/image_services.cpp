#include "services/image_services.h"

#include "services/image_prep.h"
#include "services/inet_request.h"
#include "services/multipart_templates.h"
#include "web/json_document.h"
#include "web/text_utils.h"

#include <optional>

namespace skysail {
namespace {

// Stamps the watermark when the switch is on. The error text when the image check left no
// bytes: the client returns it without posting anything.
std::optional<QString> PrepareIfWatermarked(QByteArray& image, ServiceContext& context)
{
    const WatermarkSnapshot watermark = context.Watermark();
    if (!watermark.IsEnabled())
        return std::nullopt;
    QString error = PrepareForUpload(image, watermark.picture);
    if (error.isEmpty())
        return std::nullopt;
    return error;
}

// One request with fresh out variables whose contents nobody reads afterwards.
QString Request(const QString& url, int method, QString extraHeaders, QByteArray body, ServiceContext& context)
{
    QString cookies;
    QString returnedCookies;
    QString redirectAddress;
    QString rawHeaders;
    return InetRequestText(url, method, QString(), cookies, returnedCookies, extraHeaders, redirectAddress, false, body,
        std::nullopt, rawHeaders, context.RequestControl());
}

// Posts the filled template with the service's Content-Type and Referer lines (the transport
// adds only Accept and Accept-Language to them) and returns the reply as text.
QString PostTemplate(const QString& url, QByteArrayView templateText, QByteArrayView contentType,
    const QString& siteRoot, const QByteArray& image, ServiceContext& context)
{
    const QString headers = QString::fromLatin1(contentType) + QStringLiteral("\r\nReferer: ") + siteRoot;
    return Request(url, 1, headers, FillTemplate(templateText, image), context);
}

QString Scheme(bool https)
{
    return https ? QStringLiteral("https://") : QStringLiteral("http://");
}

} // namespace

QString UploadToSinaimg(QByteArray& image, ServiceContext& context, const Endpoints& endpoints)
{
    JsonDocument reply;
    const QString hostList = Request(endpoints.sinaimgHostListUrl, 0, QString(), QByteArray(), context);
    // Only the first "http://" entry counts, and any port written there is ignored: uploads
    // always go to the service's own port.
    const QString host = TextBetween(hostList, QStringLiteral("http://"), QStringLiteral(":"));
    const QString uploadUrl = QStringLiteral("http://") + host + QLatin1Char(':')
        + QString::number(endpoints.sinaimgUploadPort) + QStringLiteral("/v1/upload");
    const QString prefix = Scheme(context.HttpsChecked()) + endpoints.sinaimgImageHost + QStringLiteral("/large/");

    if (const auto error = PrepareIfWatermarked(image, context))
        return *error;
    reply.Parse(
        PostTemplate(uploadUrl, SinaimgTemplate(), SinaimgContentType(), endpoints.sinaimgSiteRoot, image, context));
    const QString pid = reply.GetText(QStringLiteral("wbpid"));
    if (!pid.isEmpty())
        return prefix + pid;
    context.ShowFailedBadge();
    return reply.GetText(QStringLiteral("error"));
}

QString UploadToSm(QByteArray& image, ServiceContext& context, const Endpoints& endpoints)
{
    JsonDocument reply;
    if (const auto error = PrepareIfWatermarked(image, context))
        return *error;
    reply.Parse(
        PostTemplate(endpoints.smUploadUrl, SmTemplate(), SmContentType(), endpoints.smSiteRoot, image, context));
    QString link = reply.GetText(QStringLiteral("data.url"));
    if (!link.isEmpty()) {
        if (!context.HttpsChecked())
            link.replace(QStringLiteral("https"), QStringLiteral("http"), Qt::CaseSensitive);
        return link;
    }
    context.ShowFailedBadge();
    return reply.GetText(QStringLiteral("error"));
}

QString UploadToUpload(QByteArray& image, ServiceContext& context, const Endpoints& endpoints)
{
    JsonDocument reply;
    if (const auto error = PrepareIfWatermarked(image, context))
        return *error;
    reply.Parse(PostTemplate(
        endpoints.uploadUrl, UploadTemplate(), UploadContentType(), endpoints.uploadSiteRoot, image, context));
    const QString path = reply.GetText(QStringLiteral("['success_image'][0].url"));
    if (!path.isEmpty())
        return Scheme(context.HttpsChecked()) + endpoints.uploadSiteHost + QLatin1Char('/') + path;
    const QString error = reply.GetText(QStringLiteral("['total_error']"));
    return error.isEmpty() ? kUploadFailedText : error;
}

} // namespace skysail
