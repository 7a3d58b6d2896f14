// The line protocol of the control socket: one request line from the sender,
// one answer line from the instance, then the instance closes.
//
//   IDENTIFY       -> 753159852
//   ACTIVATE       -> OK
//   COMMAND text   -> OK            (text handed to the command hook as is)
//   anything else  -> ERR unknown request
//
// Lines end in "\n" (a "\r" before it is dropped). A request longer than
// kMaxControlRequest bytes is answered "ERR request too long".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ControlCommand.h"

namespace vendrix::app {

// What an instance answers to IDENTIFY, so a sender recognises it.
constexpr std::uint32_t kControlIdentifyValue = 753159852;
inline constexpr std::string_view kControlIdentifyAnswer = "753159852";
inline constexpr std::string_view kControlOkAnswer = "OK";
inline constexpr std::string_view kControlErrorPrefix = "ERR ";

inline constexpr std::string_view kControlCommandVerb = "COMMAND ";
// The longest request line, without its line end: a command of the longest
// allowed text.
constexpr std::size_t kMaxControlRequest = kControlCommandVerb.size() + kMaxControlText;

enum class TControlVerb { Identify, Activate, Command };

struct TControlRequest {
    TControlVerb Verb = TControlVerb::Identify;
    std::string Text; // the command text of Command

    bool operator==(const TControlRequest&) const = default;
};

// A request line without its line end; nullopt for an unknown request.
std::optional<TControlRequest> ParseControlRequest(std::string_view line);

// The request line with its line end.
std::string FormatControlRequest(const TControlRequest& request);

} // namespace vendrix::app
