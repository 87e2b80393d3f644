#pragma once

#include "services/endpoints.h"
#include "services/service_context.h"

#include <QByteArray>
#include <QString>

namespace skysail {

// The three image services. Each uploads one image and returns the row text for the link
// list: the image's address, or an error text. With watermarking on, `image` is replaced by
// the prepared JPEG (the caller does not use it afterwards). Every call makes its own
// requests and its own JsonDocument; nothing is cached between images.

// Asks the relay for its current upload hosts, posts to the first "http://" host on the
// upload port, and builds the link from the reply's wbpid on the image server. Shows the
// failed badge when no wbpid comes back.
QString UploadToSinaimg(QByteArray& image, ServiceContext& context, const Endpoints& endpoints = DefaultEndpoints());

// Posts to the SM service and returns data.url (https turned into http when the HTTPS box is
// unchecked), else the reply's error text with the failed badge.
QString UploadToSm(QByteArray& image, ServiceContext& context, const Endpoints& endpoints = DefaultEndpoints());

// Posts to the Upload service and builds the link from the first success image's relative
// path; else the reply's total_error, or "上传文件失败". Never shows the badge.
QString UploadToUpload(QByteArray& image, ServiceContext& context, const Endpoints& endpoints = DefaultEndpoints());

inline const QString kUploadFailedText = QStringLiteral("上传文件失败");

} // namespace skysail
