#include "FtpHash.h"

#include "FtpTypes.h"

#include <algorithm>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vendrix::ftp {

namespace {
struct TAlgorithm {
    const char* Name;
    const EVP_MD* (*Md)();
};
const TAlgorithm kAlgorithms[] = {{"SHA-256", EVP_sha256}, {"SHA-1", EVP_sha1}, {"MD5", EVP_md5}};

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}
} // namespace

std::string HashFeature(const std::string& selected) {
    std::string text;
    for (const TAlgorithm& a : kAlgorithms) {
        if (!text.empty()) text += ";";
        text += a.Name;
        if (selected == a.Name) text += "*";
    }
    return text;
}

std::string HashAlgorithmName(const std::string& name) {
    for (const TAlgorithm& a : kAlgorithms) {
        const std::string canonical = a.Name;
        if (canonical.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size(); ++i)
            same = same && Upper(name[i]) == canonical[i];
        if (same) return canonical;
    }
    return {};
}

struct THashJob::TState {
    int Fd = -1;
    EVP_MD_CTX* Ctx = nullptr;
    ~TState() {
        if (Fd >= 0) ::close(Fd);
        if (Ctx) EVP_MD_CTX_free(Ctx);
    }
};

THashJob::THashJob(const std::string& algorithm, const std::string& path, int64_t start, int64_t end)
    : FState(std::make_unique<TState>()), FAlgorithm(algorithm), FStart(start) {
    const EVP_MD* md = nullptr;
    for (const TAlgorithm& a : kAlgorithms)
        if (algorithm == a.Name) md = a.Md();
    if (!md) throw EFtpError("unknown algorithm");
    FState->Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (FState->Fd < 0 || ::fstat(FState->Fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw EFtpError("cannot read the file");
    FEnd = end < 0 || end > int64_t(st.st_size) ? int64_t(st.st_size) : end;
    if (start < 0 || start > FEnd) throw EFtpError("range outside the file");
    FPos = start;
    FState->Ctx = EVP_MD_CTX_new();
    if (!FState->Ctx || EVP_DigestInit_ex(FState->Ctx, md, nullptr) != 1) throw EFtpError("no digest");
}

THashJob::~THashJob() = default;

bool THashJob::Step() {
    if (!FHex.empty()) return true;
    std::vector<unsigned char> buf(size_t(64 * 1024));
    int64_t budget = kSliceBytes;
    while (FPos < FEnd && budget > 0) {
        const size_t want = size_t(std::min<int64_t>({int64_t(buf.size()), FEnd - FPos, budget}));
        const ssize_t n = ::pread(FState->Fd, buf.data(), want, off_t(FPos));
        if (n <= 0) throw EFtpError("read error");
        EVP_DigestUpdate(FState->Ctx, buf.data(), size_t(n));
        FPos += n;
        budget -= n;
    }
    if (FPos < FEnd) return false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_DigestFinal_ex(FState->Ctx, digest, &len);
    static const char kHex[] = "0123456789abcdef";
    for (unsigned int i = 0; i < len; ++i) {
        FHex += kHex[digest[i] >> 4];
        FHex += kHex[digest[i] & 15];
    }
    return true;
}

} // namespace vendrix::ftp
