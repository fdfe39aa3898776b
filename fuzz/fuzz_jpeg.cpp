// The JPEG loader over arbitrary bytes: every picture file in the cache came from a picture
// host, and a cache file can be anything (an error page saved under ".jpg", a cut transfer).

#include "fuzz/FuzzSupport.h"

#include "store/JpegLoader.h"

#include <QSize>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kova::fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = kova::fuzz::bytes(data, size);
    (void)kova::looksLikeJpeg(bytes);
    // The thumbnail cell (DCT scaling picks a small scale) and the preview (whole picture).
    for (const QSize target : {QSize(60, 60), QSize()}) {
        const kova::JpegResult result = kova::decodeJpeg(bytes, target);
        if (result.image.isNull() && result.error.isEmpty())
            kova::fuzz::fail("failure without a reason");
        if (!result.image.isNull() && (result.image.width() <= 0 || result.image.height() <= 0))
            kova::fuzz::fail("empty picture");
    }
    return 0;
}
