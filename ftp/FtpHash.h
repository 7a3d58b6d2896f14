// The digest of HASH, computed a slice at a time so that hashing a large
// file never holds up the other sessions: each slice reads and hashes a
// bounded number of bytes, and the engine posts the next slice to the loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vendrix::ftp {

// The algorithms HASH offers, as FEAT lists them with the selected one
// marked: "SHA-256*;SHA-1;MD5".
std::string HashFeature(const std::string& selected);
// The algorithm's canonical name for a name in any case; empty when unknown.
std::string HashAlgorithmName(const std::string& name);

class THashJob {
public:
    // Bytes read and hashed by one slice.
    static constexpr int64_t kSliceBytes = 1 << 20;

    // Opens the file and positions at `start`; `end` < 0 means the end of the
    // file. Raises EFtpError when the file cannot be read or the range lies
    // outside it.
    THashJob(const std::string& algorithm, const std::string& path, int64_t start, int64_t end);
    ~THashJob();
    THashJob(const THashJob&) = delete;
    THashJob& operator=(const THashJob&) = delete;

    // Hashes the next slice; true once the whole range is done. Raises
    // EFtpError on a read error.
    bool Step();
    // The digest in lower-case hex; valid once Step returned true.
    const std::string& Hex() const { return FHex; }
    const std::string& Algorithm() const { return FAlgorithm; }
    int64_t Start() const { return FStart; }
    int64_t End() const { return FEnd; }

private:
    struct TState;
    std::unique_ptr<TState> FState;
    std::string FAlgorithm;
    int64_t FStart = 0, FEnd = 0, FPos = 0;
    std::string FHex;
};

} // namespace vendrix::ftp
