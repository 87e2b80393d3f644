#pragma once

#include "services/inet_request.h"
#include "settings/watermark_state.h"

namespace skysail {

// What an image service client reads from outside itself, and the one thing it shows. The
// upload pass implements it over the main window (HTTPS check box), the program-wide
// watermark values and the float window's badge; tests implement it with plain fields.
class ServiceContext
{
public:
    virtual ~ServiceContext() = default;

    // The HTTPS check box, read once per image when the link is built.
    virtual bool HttpsChecked() = 0;
    // WatermarkSwitch and WatermarkPicture as one consistent snapshot, read once per image.
    virtual WatermarkSnapshot Watermark() = 0;
    // The float window shows BadgeFailed.
    virtual void ShowFailedBadge() = 0;
    // Cancellation and time-outs for the client's requests.
    virtual InetRequestControl RequestControl() { return {}; }
};

} // namespace skysail
