// File size, existence and time helpers used by the commands.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace vendrix::ftp {

// Size of the file at path (directories do not count); -1 when there is none.
int64_t GetFileSize(const std::string& path);
// True when any entry, a directory or a file, is at path.
bool AnyEntryExists(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates an empty file at path only if no entry is there (exclusive
// create, so two sessions can never both get it): false when one is; raises
// EFtpFileError with the system's reason on any other failure.
bool CreateNewFile(const std::string& path);
// Last-modification time, or -1 when there is no entry; a path ending in
// the separator means the directory itself.
time_t FileAge(const std::string& path);
// The modification time in UTC as "YYYYMMDDHHMMSS.mmm"; empty when the entry
// cannot be read.
std::string FileUtcStr(const std::string& path);

} // namespace vendrix::ftp
