// What a camera driver sends as a FITS image: the check of its primary
// header and data never crashes, and an image it accepts is one whose
// layout holds together; the header edit a save makes then keeps the data
// where the check found it and gives a header of whole 2880-byte blocks that
// the check accepts again.
// Input: the bytes of the image.
#include "FuzzCheck.h"
#include "image/FitsObjectHeader.h"
#include "image/FitsPrimaryHdu.h"
#include "image/ImageError.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray fits(reinterpret_cast<const char*>(data), qsizetype(size));
    FitsPrimaryHdu hdu;
    try {
        hdu = FitsPrimaryHdu::Inspect(fits);
    } catch (const ImageError&) {
        return 0;   // refused, in words: fine
    }
    FUZZ_CHECK(hdu.HeaderBytes > 0 && hdu.HeaderBytes % 2880 == 0, "header of %lld bytes", static_cast<long long>(hdu.HeaderBytes));
    FUZZ_CHECK(hdu.DataBytes >= 0 && hdu.HeaderBytes + hdu.DataBytes <= fits.size(), "data past the end");
    FUZZ_CHECK(hdu.PaddedEnd % 2880 == 0 && hdu.PaddedEnd >= hdu.HeaderBytes + hdu.DataBytes
                   && hdu.PaddedEnd - (hdu.HeaderBytes + hdu.DataBytes) < 2880,
               "padding");

    FitsObjectHeader edited {QByteArray(), 0};
    try {
        edited = FitsObjectHeader::Make(fits, QStringLiteral("M42-001R.fit"));
    } catch (const ImageError& e) {
        FUZZ_CHECK(false, "an image the check accepts cannot be named: %s", qPrintable(e.message()));
    }
    FUZZ_CHECK(edited.DataOffset == hdu.HeaderBytes, "the edit moves the data: %lld, the check %lld",
               static_cast<long long>(edited.DataOffset), static_cast<long long>(hdu.HeaderBytes));
    FUZZ_CHECK(edited.Header.size() % 2880 == 0, "edited header of %lld bytes", static_cast<long long>(edited.Header.size()));
    const QByteArray saved = edited.Header + fits.mid(hdu.HeaderBytes, hdu.DataBytes)
                             + QByteArray(hdu.PaddedEnd - hdu.HeaderBytes - hdu.DataBytes, '\0');
    try {
        const FitsPrimaryHdu again = FitsPrimaryHdu::Inspect(saved);
        FUZZ_CHECK(again.DataBytes == hdu.DataBytes, "the saved file declares other data");
    } catch (const ImageError& e) {
        FUZZ_CHECK(false, "the saved file is refused: %s", qPrintable(e.message()));
    }
    return 0;
}
