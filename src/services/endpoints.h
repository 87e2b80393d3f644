#pragma once

#include <QString>

namespace skysail {

// Where the three image services live. The defaults come from the build (CMake cache
// variables, placeholders under .example until a packager sets the real hosts); every client
// takes the table as an argument, so tests point it at loopback servers.
struct Endpoints
{
    // Sinaimg: the relay names the current upload host; the client posts to that host on
    // sinaimgUploadPort and builds links on the image server.
    QString sinaimgHostListUrl; // http://relay/api/hosts
    int sinaimgUploadPort = 672;
    QString sinaimgImageHost; // links: http(s)://host/large/<pid>
    QString sinaimgSiteRoot; // Referer, http, ending in "/"

    QString smUploadUrl; // https://domain/api/upload?inajax=1&ssl=1
    QString smSiteRoot; // Referer, https, ending in "/"

    QString uploadUrl; // https://domain/image_upload
    QString uploadSiteHost; // links: http(s)://host/<path>
    QString uploadSiteRoot; // Referer, https, ending in "/"

    QString feedbackHost;
};

// The table as built.
Endpoints DefaultEndpoints();

// The services' domain names, which double as their settings keys and radio labels.
QString SmDomain();
QString UploadDomain();

} // namespace skysail
