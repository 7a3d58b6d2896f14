// The listing's wildcard masks, against a plain reference matcher ("*.*"
// matches every name).
#include "FtpListing.h"
#include "FuzzInput.h"

#include <cstdlib>

using namespace vendrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> f = fuzz::Fields(data, size, 2);
    bool expected = f[0] == "*.*" || fuzz::WildcardReference(f[0], f[1]);
    if (ftp::MatchesMask(f[0], f[1]) != expected) std::abort();
    return 0;
}
