// OverlayWatermark of two outside BMPs with outside placement: never out of bounds (ASan
// watches), and the result is empty or exactly as long as the image.
#include "services/image_prep.h"

#include <cstdlib>
#include <cstring>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Layout: split (2 bytes), options flags (1), left (4), top (4), key (4), then the image
    // bytes up to the split and the mark bytes after it.
    if (size < 15)
        return 0;
    const size_t split = size_t(data[0]) | size_t(data[1]) << 8;
    const uint8_t flags = data[2];
    int32_t numbers[3];
    std::memcpy(numbers, data + 3, sizeof numbers);
    data += 15;
    size -= 15;
    const size_t imageSize = split < size ? split : size;
    const QByteArray image(reinterpret_cast<const char*>(data), qsizetype(imageSize));
    const QByteArray mark(reinterpret_cast<const char*>(data + imageSize), qsizetype(size - imageSize));
    const auto pick = [&](int bit, int32_t value) { return flags & bit ? std::optional<int>(value) : std::nullopt; };
    const QByteArray out
        = skysail::OverlayWatermark(image, mark, pick(1, numbers[0]), pick(2, numbers[1]), pick(4, numbers[2]));
    if (!out.isEmpty() && out.size() != image.size())
        std::abort();
    return 0;
}
