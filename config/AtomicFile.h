// Replacing a file so that a crash, a full disk or any other failure leaves
// either the old or the new content, never a truncated file: the new content
// goes to a temporary file in the same folder, is flushed to disk and is then
// renamed over the original; the folder is flushed last so the rename lasts.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vendrix::config {

// Writes `content` as the file `path`. The file keeps the permission bits of
// the file it replaces (a new file gets 0666 less the umask). On failure the
// temporary file is removed, the old file is left as it was, and
// std::runtime_error says which file and why.
void WriteFileAtomic(const std::string& path, std::string_view content);

// Test seam: the steps at which a failure can be injected. The hook returns
// an errno value to fail the step with, or 0 to let it run.
enum class TWriteStep { Create, Write, Flush, Rename };
using TWriteFault = std::function<int(TWriteStep step)>;
void SetWriteFaultForTesting(TWriteFault fault);

} // namespace vendrix::config
