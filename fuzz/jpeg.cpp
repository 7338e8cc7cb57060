// The JPEG decoder: any data gives either an empty picture or one whose size
// is inside the limits and whose pixels fill exactly width x height x 3 bytes;
// nothing leaves it, and libjpeg never ends the process.
// Input: the data.
#include "fuzz_check.h"
#include "jpeg_decoder.h"

using namespace ortiva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DecodedPicture picture = DecodeJpeg({data, size});
    if (picture.empty()) {
        return 0;
    }
    FUZZ_CHECK(picture.width >= 1 && picture.width <= kMaxPictureSide);
    FUZZ_CHECK(picture.height >= 1 && picture.height <= kMaxPictureSide);
    FUZZ_CHECK(picture.rgb.size() == static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3);
    return 0;
}
