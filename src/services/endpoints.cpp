#include "services/endpoints.h"

#include "skysail/build_config.h"

namespace skysail {

QString SmDomain()
{
    return QStringLiteral(SKYSAIL_SM_DOMAIN);
}

QString UploadDomain()
{
    return QStringLiteral(SKYSAIL_UPLOAD_DOMAIN);
}

Endpoints DefaultEndpoints()
{
    Endpoints endpoints;
    endpoints.sinaimgHostListUrl = QStringLiteral("http://" SKYSAIL_SINAIMG_RELAY_HOST "/api/hosts");
    endpoints.sinaimgUploadPort = 672;
    endpoints.sinaimgImageHost = QStringLiteral(SKYSAIL_SINAIMG_IMAGE_HOST);
    endpoints.sinaimgSiteRoot = QStringLiteral("http://" SKYSAIL_SINAIMG_SITE_HOST "/");
    endpoints.smUploadUrl = QStringLiteral("https://" SKYSAIL_SM_DOMAIN "/api/upload?inajax=1&ssl=1");
    endpoints.smSiteRoot = QStringLiteral("https://" SKYSAIL_SM_DOMAIN "/");
    endpoints.uploadUrl = QStringLiteral("https://" SKYSAIL_UPLOAD_DOMAIN "/image_upload");
    endpoints.uploadSiteHost = QStringLiteral(SKYSAIL_UPLOAD_DOMAIN);
    endpoints.uploadSiteRoot = QStringLiteral("https://" SKYSAIL_UPLOAD_DOMAIN "/");
    endpoints.feedbackHost = QStringLiteral(SKYSAIL_FEEDBACK_HOST);
    return endpoints;
}

} // namespace skysail
