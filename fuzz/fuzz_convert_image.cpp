// ConvertImage of outside bytes into every mode: never crashes, and a failure leaves the
// output as it was.
#include "fuzz_image_common.h"

#include "services/image_prep.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    skysail::fuzz::EnsureApplication();
    const int mode = data[0] % 7; // 0 and 6 select no encoder
    const bool flatten = data[0] & 0x80;
    const QByteArray source(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (skysail::fuzz::ClaimsAHugePicture(source))
        return 0;
    QByteArray output = "untouched";
    const bool converted = skysail::ConvertImage(source, mode, output, { .fileName = {}, .flatten = flatten });
    if (converted == (output == "untouched"))
        std::abort();
    return 0;
}
