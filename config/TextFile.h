// Text files read whole or as lines: welcome and goodbye texts, PEM files.
#pragma once

#include <string>
#include <vector>

namespace vendrix::config {

// The lines of the file at path, without their line ends (LF or CR LF); a
// last line without a line end counts. Empty when the path is empty, the
// file is missing or unreadable, or it holds nothing.
std::vector<std::string> ReadTextLines(const std::string& path);

// The whole file at path into text; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& text);

} // namespace vendrix::config
