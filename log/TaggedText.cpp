#include "TaggedText.h"

#include <optional>

namespace vendrix::log {

namespace {

constexpr std::size_t kOpenerLength = 8; // "#RRGGBB<"

bool OpensSegment(std::string_view text, std::size_t i) {
    return i + kOpenerLength <= text.size() && text[i] == '#' && text[i + kOpenerLength - 1] == '<';
}

} // namespace

std::string Segment(std::string_view colorText, std::string_view content) {
    std::string segment;
    segment.reserve(colorText.size() + content.size() + 2);
    segment.append(colorText).append("<").append(content).append(">");
    return segment;
}

std::string StripTags(std::string_view tagged) {
    std::string plain;
    plain.reserve(tagged.size());
    for (std::size_t i = 0; i < tagged.size();) {
        if (OpensSegment(tagged, i)) {
            i += kOpenerLength;
        } else {
            if (tagged[i] != '>') plain += tagged[i];
            ++i;
        }
    }
    return plain;
}

std::vector<TColoredRun> RenderTagged(std::string_view tagged, config::TColor textColor) {
    std::vector<TColoredRun> runs;
    auto draw = [&](std::size_t from, std::size_t to, std::optional<std::string_view> colorText) {
        if (to <= from) return;
        std::optional<config::TColor> color = colorText ? config::ParseColorText(*colorText) : std::nullopt;
        runs.push_back({std::string(tagged.substr(from, to - from)), color.value_or(textColor)});
    };

    std::size_t start = 0;
    std::optional<std::string_view> current; // colour of the innermost open segment
    std::optional<std::string_view> outer;   // colour of the enclosing segment
    bool outerTaken = false;                 // taken once per line, at the first inner segment
    bool inside = false;
    bool deeper = false;
    for (std::size_t i = 0; i < tagged.size();) {
        if (OpensSegment(tagged, i)) {
            if (inside) {
                if (!outerTaken) {
                    outer = current;
                    outerTaken = true;
                }
                draw(start, i, outer);
                deeper = true;
            } else {
                inside = true;
            }
            current = tagged.substr(i, 7);
            i += kOpenerLength;
            start = i;
            continue;
        }
        if (tagged[i] == '>') {
            draw(start, i, current ? current : outer);
            if (deeper)
                deeper = false;
            else
                inside = false;
            current.reset();
            start = i + 1;
        }
        ++i;
    }
    return runs;
}

} // namespace vendrix::log
