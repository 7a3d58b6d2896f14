#include "Translate.h"

namespace vendrix::config {

std::string FormatText(std::string_view text, const std::vector<std::string>& args) {
    std::string result;
    std::size_t next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == '%')) {
            if (text[i + 1] == '%')
                result += '%';
            else if (next < args.size())
                result += args[next++];
            else
                ++next;
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

} // namespace vendrix::config
