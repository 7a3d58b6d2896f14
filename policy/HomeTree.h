// The size of an account's home tree, against which its disk quota is held:
// the files of the home directory and, recursively, of its subdirectories
// whose names do not begin with ".". Directories reached through virtual
// links are not part of it.
#pragma once

#include <cstdint>
#include <string>

namespace vendrix::policy {

// Bytes of every regular file in the tree. Symbolic links count nothing and
// are not followed: a link to a directory could loop or reach outside the
// home. Directories count nothing of their own, so the figure does not depend
// on the file system's directory sizes. An unreadable directory counts 0.
int64_t HomeTreeBytes(const std::string& home);

// Whether the file at `path` is counted by HomeTreeBytes(home): it lies below
// `home` and no directory between them begins with ".". Both are absolute
// local paths; `home` ends with "/". Dot segments are resolved first.
bool InHomeTree(const std::string& home, const std::string& path);

// Kilobytes (1024 bytes) rounded to the nearest whole number, a half to the
// even neighbour: 512 bytes are 0, 1536 bytes are 2.
int64_t RoundedKB(int64_t bytes);

} // namespace vendrix::policy
