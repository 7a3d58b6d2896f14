// Welcome and goodbye texts: a text file read as lines.
#pragma once

#include <string>
#include <vector>

namespace vendrix::config {

// The lines of the file at path, without their line ends (LF or CR LF); a
// last line without a line end counts. Empty when the path is empty, the
// file is missing or unreadable, or it holds nothing.
std::vector<std::string> ReadTextLines(const std::string& path);

} // namespace vendrix::config
