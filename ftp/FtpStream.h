// The stream behind a transfer: an open file, or a listing built in memory.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vendrix::ftp {

class TFtpStream {
public:
    virtual ~TFtpStream() = default;
    // Bytes read (0 at the end); raises EFtpError with the system's text.
    virtual int64_t Read(char* buffer, int64_t count) = 0;
    virtual void Write(const char* data, int64_t count) = 0;
    virtual void Seek(int64_t position) = 0;
    virtual int64_t Size() const = 0;
    // The open file behind the stream, for sending it without a copy; -1
    // when the stream is not a file.
    virtual int Handle() const { return -1; }
};

// Raises the EFtpFileError a failed read of `path` with errno `err` gives.
[[noreturn]] void RaiseReadError(const std::string& path, int err);

class TFileStream : public TFtpStream {
public:
    enum TMode { fmOpenRead, fmCreate, fmOpenWrite, fmOpenReadWrite };
    // Raises EFtpFileError: its message names the path, its reason is the
    // system's text alone.
    TFileStream(const std::string& path, TMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    int64_t Read(char* buffer, int64_t count) override;
    void Write(const char* data, int64_t count) override;
    void Seek(int64_t position) override;
    int64_t Size() const override;
    int Handle() const override { return FFd; }

private:
    int FFd = -1;
    std::string FPath;
};

class TMemoryStream : public TFtpStream {
public:
    TMemoryStream() = default;
    // A stream that holds `data` as if it had been written: positioned at
    // its end. The string is taken, not copied (a listing can be large).
    explicit TMemoryStream(std::string data) : FData(std::move(data)), FPos(int64_t(FData.size())) {}
    int64_t Read(char* buffer, int64_t count) override;
    void Write(const char* data, int64_t count) override;
    void Write(const std::string& text) { Write(text.data(), int64_t(text.size())); }
    void Seek(int64_t position) override;
    int64_t Size() const override { return int64_t(FData.size()); }
    const std::string& Data() const { return FData; }

private:
    std::string FData;
    int64_t FPos = 0;
};

} // namespace vendrix::ftp
