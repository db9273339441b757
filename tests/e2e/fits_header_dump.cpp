// fits_header_dump FILE...: prints, for each FITS file, one line
//   <file> NAXIS1=<n> NAXIS2=<n> EXPTIME=<x> FILTER=<text> XBINNING=<n> DATE-OBS=<utc>
// read with cfitsio, independently of the program that wrote the file.
// fits_header_dump --keys K1,K2,... FILE...: the same line with the named
// keys instead ("<file> K1=<value> K2=<value> ...").
// A key that is missing prints as "?"; a file cfitsio cannot open prints
// "<file> ERROR <reason>" and makes the exit status 1.
#include <fitsio.h>

#include <cstdio>
#include <algorithm>
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

std::string keysOnly;   // --keys: the comma-separated keys to print instead

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
    if (!keysOnly.empty()) {
        std::printf("%s", path);
        for (size_t at = 0, end; at < keysOnly.size(); at = end + 1) {
            end = std::min(keysOnly.find(',', at), keysOnly.size());
            std::printf(" %s=%s", keysOnly.substr(at, end - at).c_str(), readKey(f, keysOnly.substr(at, end - at).c_str()).c_str());
        }
        std::printf("\n");
        fits_close_file(f, &status);
        return true;
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
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--keys") {
        keysOnly = argv[2];
        first = 3;
    }
    for (int i = first; i < argc; ++i)
        ok = dump(argv[i]) && ok;
    return ok ? 0 : 1;
}
