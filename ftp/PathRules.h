// The rules that turn FTP path parameters into local paths, written once over
// a path style: the server runs on POSIX paths; the Windows style keeps the
// drive-letter rules checkable against their original examples.
#pragma once

#include <string>

namespace vendrix::ftp {

struct TPathStyle {
    char Sep;        // '/' or '\\'
    bool Drives;     // drive letters ("C:") and UNC paths ("\\server\share")
    bool IgnoreCase; // names compare without regard to case

    static const TPathStyle Posix;
    static const TPathStyle Windows;

    // Client paths use "/": on the way in "/" becomes Sep, on the way out
    // Sep becomes "/". Under POSIX both are the identity.
    std::string ToLocal(std::string path) const;
    std::string ToClient(std::string path) const;
    // "C:" for C:\x, "\\server\share" for a UNC path, empty otherwise.
    std::string DrivePart(const std::string& path) const;
    bool IsUnc(const std::string& path) const;
    bool EqualNames(const std::string& a, const std::string& b) const;
};

// The directory that `newDir` makes current when `current` is current.
// Raises EFtpError with the refusal text; never confines to a home.
std::string ApplySetDirectory(const TPathStyle& style, const std::string& current, std::string newDir,
                              bool allowUnc = false);

// The local path a file parameter names, without the OnBuildFilePath hook:
// `name` is already converted to local separators.
std::string ApplyBuildFilePath(const TPathStyle& style, const std::string& homeDir, const std::string& dir,
                               std::string name);

// The directory that removes a repeated tail of `dir` at the start of `name`
// (empty when there is none).
std::string TrimDirectoryOverlap(const TPathStyle& style, const std::string& dir, const std::string& name);

} // namespace vendrix::ftp
