#pragma once

namespace skysail {

// The image service a pass uploads to.
enum class HostKind
{
    Sinaimg,
    SM,
    Upload,
};

// How link rows become clipboard text.
enum class LinkFormat
{
    Plain,
    Html,
    Ubb,
};

} // namespace skysail
