#include "AccessEntry.h"

namespace vendrix::config {

std::vector<std::string> SplitAccessFields(std::string_view value) {
    std::vector<std::string> fields;
    while (true) {
        std::size_t bar = value.find('|');
        if (bar == std::string_view::npos) {
            if (!value.empty()) fields.emplace_back(value);
            return fields;
        }
        fields.emplace_back(value.substr(0, bar));
        value.remove_prefix(bar + 1);
    }
}

TAccessEntry ParseAccessEntry(std::string_view value) {
    std::vector<std::string> fields = SplitAccessFields(value);
    TAccessEntry entry;
    if (fields.size() > 0) entry.Directory = fields[0];
    if (fields.size() > 1) entry.Rights = fields[1];
    if (fields.size() > 2) entry.LinkName = fields[2];
    return entry;
}

std::string FormatAccessEntry(const TAccessEntry& entry) {
    return entry.Directory + "|" + entry.Rights + "|" + entry.LinkName.value_or("");
}

std::string MakeRights(std::string_view letters) {
    static constexpr std::string_view kOrder = "DUAEMRY_SV_";
    std::string rights(kOrder.size(), '_');
    for (std::size_t i = 0; i < kOrder.size(); ++i)
        if (kOrder[i] != '_' && letters.find(kOrder[i]) != std::string_view::npos) rights[i] = kOrder[i];
    return rights;
}

} // namespace vendrix::config
