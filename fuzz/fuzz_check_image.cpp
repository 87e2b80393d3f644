// CheckImage of outside bytes: whatever comes back is empty or a 24-bit BMP that the
// overlay accepts.
#include "fuzz_image_common.h"

#include "services/image_prep.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    skysail::fuzz::EnsureApplication();
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (skysail::fuzz::ClaimsAHugePicture(bytes))
        return 0;
    const bool wasBmp24 = bytes.startsWith("BM") && bytes.size() >= 30 && data[28] == 24 && data[29] == 0;
    skysail::CheckImage(bytes);
    if (!bytes.isEmpty() && !wasBmp24 && skysail::OverlayWatermark(bytes, bytes).isEmpty())
        std::abort(); // a BMP of our own making must always be accepted
    return 0;
}
