// Where a local path really leads once symbolic links are followed: the
// rights are checked on the path as written and again on this one, so a
// link inside a confined folder cannot lead out of it.
#pragma once

#include <optional>
#include <string>

namespace vendrix::policy {

// The path with every symbolic link resolved, "/" separated. For a path that
// does not exist yet (an upload, a new directory) the existing part is
// resolved and the rest appended. A path ending in "/" keeps it. Empty when
// the path cannot be resolved: a dangling or looping link, or a component
// that cannot be searched, since creating a file through a dangling link
// would create its target wherever it points.
std::optional<std::string> ResolvePath(const std::string& path);

} // namespace vendrix::policy
