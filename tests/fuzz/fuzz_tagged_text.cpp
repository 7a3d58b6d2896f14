// The colour markup of log messages: any text renders, and the stripped form
// holds no markup.
#include "TaggedText.h"

#include <cstdlib>

using namespace vendrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<log::TColoredRun> runs = log::RenderTagged(text, config::TColor{});
    size_t shown = 0;
    for (const log::TColoredRun& run : runs) {
        if (run.Text.empty()) std::abort();
        shown += run.Text.size();
    }
    if (shown > size) std::abort();
    std::string stripped = log::StripTags(text);
    if (stripped.find('>') != std::string::npos || stripped.size() > size) std::abort();
    return 0;
}
