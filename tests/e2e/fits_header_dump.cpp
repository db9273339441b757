// fits_header_dump FILE...: prints, for each FITS file, one line
//   <file> NAXIS1=<n> NAXIS2=<n> EXPTIME=<x> FILTER=<text> XBINNING=<n> DATE-OBS=<utc>
// read with cfitsio, independently of the program that wrote the file.
// A key that is missing prints as "?"; a file cfitsio cannot open prints
// "<file> ERROR <reason>" and makes the exit status 1.
#include <fitsio.h>

#include <cstdio>
#include <string>

namespace {
std::string readKey(fitsfile* f, const char* name)
{
    char value[FLEN_VALUE] = {};
    int status = 0;
    if (fits_read_key(f, TSTRING, name, value, nullptr, &status) != 0)
        return "?";
    return value;
}

bool dump(const char* path)
{
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path, READONLY, &status) != 0) {
        char reason[FLEN_STATUS] = {};
        fits_get_errstatus(status, reason);
        std::printf("%s ERROR %s\n", path, reason);
        return false;
    }
    long axes[2] = {0, 0};
    int naxis = 0;
    fits_get_img_dim(f, &naxis, &status);
    fits_get_img_size(f, 2, axes, &status);
    std::printf("%s NAXIS1=%ld NAXIS2=%ld EXPTIME=%s FILTER=%s XBINNING=%s DATE-OBS=%s\n", path, axes[0], axes[1],
                readKey(f, "EXPTIME").c_str(), readKey(f, "FILTER").c_str(), readKey(f, "XBINNING").c_str(),
                readKey(f, "DATE-OBS").c_str());
    status = 0;
    fits_close_file(f, &status);
    return true;
}
}

int main(int argc, char** argv)
{
    bool ok = true;
    for (int i = 1; i < argc; ++i)
        ok = dump(argv[i]) && ok;
    return ok ? 0 : 1;
}
