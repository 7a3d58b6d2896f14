// The settings file parser and writer: whatever a document holds, and
// whatever is written into it, reads back the same after saving.
#include "FuzzInput.h"
#include "IniDocument.h"

#include <cstdlib>
#include <stdexcept>

using namespace vendrix;

namespace {
void SameValues(const config::TIniDocument& a, const config::TIniDocument& b) {
    for (const std::string& section : a.Sections())
        for (const std::string& key : a.Keys(section))
            if (a.Find(section, key) != b.Find(section, key)) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> f = fuzz::Fields(data, size, 4);
    config::TIniDocument doc = config::TIniDocument::Parse(f[0]);
    std::string text = doc.Serialize();
    config::TIniDocument again = config::TIniDocument::Parse(text);
    SameValues(doc, again);
    if (again.Serialize() != text) std::abort();
    try {
        doc.WriteString(f[1], f[2], f[3]);
    } catch (const std::invalid_argument&) {
        return 0;
    }
    text = doc.Serialize();
    again = config::TIniDocument::Parse(text);
    SameValues(doc, again);
    if (again.Serialize() != text) std::abort();
    return 0;
}
