// A settings file on disk, read through a parsed copy that is shared by every
// TIniFile of the same path. A read checks the file (one stat) and parses it
// again only when its identity (device, inode), size or modification time
// changed, so an edit saved by another program is seen by the next read while
// an unchanged file is not parsed again. The program's own writes update the
// copy.
//
// The check runs at most once per kRecheckInterval: a stat costs microseconds
// on some systems, and the speed-limit timer reads the account file for every
// session every few milliseconds. An edit saved by another program is thus
// seen by every read that starts one interval after the save. The interval
// is measured on a clock tests may replace (SetClock) to move time on
// instead of sleeping.
//
// Modification times only move in steps of the file system's clock, so an
// edit that keeps the size within the same step as the previous one leaves
// the stat unchanged. While a file's time is that recent (under two seconds
// old) each check therefore also compares the bytes.
//
// A missing file reads as empty. A file that is there but cannot be read
// (permissions, an I/O error) reads as empty too, so that a read never
// raises, but it is not taken for an empty file: ReadError() says why, and
// every write raises instead of replacing it, since the write would save the
// empty document over whatever the file holds. A failed write raises
// std::runtime_error and leaves the file and the copy as they were (see
// AtomicFile.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "IniDocument.h"

namespace vendrix::config {

class TIniFile {
public:
    static constexpr std::chrono::milliseconds kRecheckInterval{1};

    // Monotonic nanoseconds, on the epoch of std::chrono::steady_clock.
    using TClock = int64_t (*)();
    // The clock the check interval is measured on; nullptr restores the
    // steady clock. Call between reads, from the thread that reads settings.
    static void SetClock(TClock clock);

    explicit TIniFile(std::string path);

    const std::string& Path() const { return FPath; }

    // The file's content now. Read several keys from one snapshot to check
    // the file once.
    std::shared_ptr<const TIniDocument> Load() const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    int64_t ReadInt64(std::string_view section, std::string_view key, int64_t def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    std::vector<std::string> ReadList(std::string_view section, std::string_view prefix) const;
    bool SectionExists(std::string_view section) const;
    std::vector<std::string> Sections() const;
    // Empty when the file was read (or is missing) at the last check;
    // otherwise a text naming the file and the system's reason.
    std::string ReadError() const;

    // Each write reads the file as it is now, applies the change and saves.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int64_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void WriteList(std::string_view section, std::string_view prefix, const std::vector<std::string>& values);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);
    // Several changes saved at once.
    void Update(const std::function<void(TIniDocument&)>& edit);
    // Replaces the whole file with `doc`.
    void Save(const TIniDocument& doc);

    struct TCache; // one per path, shared

private:
    std::string FPath;
    std::shared_ptr<TCache> FCache;
};

} // namespace vendrix::config
