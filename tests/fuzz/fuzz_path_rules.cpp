// The path rules in both styles: changing directory, building a file path
// and trimming a directory overlap, from any current directory and name.
#include "FtpTypes.h"
#include "FuzzInput.h"
#include "PathRules.h"

#include <cstdlib>

using namespace vendrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const ftp::TPathStyle& style = (data[0] & 1) ? ftp::TPathStyle::Windows : ftp::TPathStyle::Posix;
    const bool allowUnc = (data[0] & 2) != 0;
    std::vector<std::string> f = fuzz::Fields(data + 1, size - 1, 4);
    const std::string &current = f[0], &newDir = f[1], &home = f[2], &name = f[3];
    try {
        std::string dir = ftp::ApplySetDirectory(style, current, style.ToLocal(newDir), allowUnc);
        // A changed directory always ends with the separator.
        if (dir != current && (dir.empty() || dir.back() != style.Sep)) std::abort();
    } catch (const ftp::EFtpError&) {
    }
    try {
        (void)ftp::ApplyBuildFilePath(style, home, current, style.ToLocal(name));
    } catch (const ftp::EFtpError&) {
    }
    std::string trimmed = ftp::TrimDirectoryOverlap(style, current, style.ToLocal(name));
    // The overlap is a leading part of the directory.
    if (trimmed.size() > current.size() || current.compare(0, trimmed.size(), trimmed) != 0) std::abort();
    if (style.ToClient(style.ToLocal(name)).size() != name.size()) std::abort();
    return 0;
}
