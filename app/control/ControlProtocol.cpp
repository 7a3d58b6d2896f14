#include "ControlProtocol.h"

namespace vendrix::app {

std::optional<TControlRequest> ParseControlRequest(std::string_view line) {
    if (line == "IDENTIFY") return TControlRequest{TControlVerb::Identify, {}};
    if (line == "ACTIVATE") return TControlRequest{TControlVerb::Activate, {}};
    if (line.starts_with(kControlCommandVerb))
        return TControlRequest{TControlVerb::Command, std::string(line.substr(kControlCommandVerb.size()))};
    return std::nullopt;
}

std::string FormatControlRequest(const TControlRequest& request) {
    switch (request.Verb) {
    case TControlVerb::Identify:
        return "IDENTIFY\n";
    case TControlVerb::Activate:
        return "ACTIVATE\n";
    case TControlVerb::Command:
        return std::string(kControlCommandVerb) + request.Text + "\n";
    }
    return {};
}

} // namespace vendrix::app
