// The account file "conf/users.ini": readers take the file as it is now
// (an edit saved by another program counts from the next read); the server
// writes the running totals back; the user setup dialog edits an in-memory
// copy and saves it whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Account.h"
#include "IniFile.h"

namespace vendrix::config {

class TAccountFile {
public:
    explicit TAccountFile(std::string path);

    TAccount Account(std::string_view name) const;
    // Section names as spelled in the file, in file order.
    std::vector<std::string> AccountNames() const;

    // Writes "TotalDownload" and "TotalUpload" (kilobytes, 64-bit) in one
    // save. An account whose section is gone (deleted while the session ran)
    // is not brought back by its totals.
    void WriteTotals(std::string_view name, int64_t downloadKB, int64_t uploadKB);
    void WriteTotalDownload(std::string_view name, int64_t kilobytes);
    void WriteTotalUpload(std::string_view name, int64_t kilobytes);

    // The dialog's copy of the whole file.
    TIniDocument LoadCopy() const { return *FFile.Load(); }
    // Replaces the file with the dialog's copy, except that the running
    // totals of accounts present in both are taken from the file: sessions
    // may have added to them while the dialog was open.
    void SaveCopy(TIniDocument copy);

    const std::string& Path() const { return FFile.Path(); }
    // Why the file, though there, could not be read (empty when it could).
    std::string ReadError() const { return FFile.ReadError(); }

private:
    void WriteKeys(std::string_view name, const std::vector<std::pair<TAccountKey, int64_t>>& values);

    TIniFile FFile;
};

} // namespace vendrix::config
