// What the path policy needs of its owner: the account file, the path style,
// translated texts and the session log. The controller provides it; keeping
// the policy on this narrow face keeps it from reaching into the rest of
// the controller.
#pragma once

#include "AccountFile.h"
#include "PathRules.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix::policy {

class TPolicyContext {
public:
    virtual ~TPolicyContext() = default;

    virtual config::TAccountFile& AccountFile() = 0;
    virtual const ftp::TPathStyle& PathStyle() const = 0;
    virtual std::string Translate(std::string_view key) const = 0;
    // Writes one message (tagged text) for a client, prefixed with its number.
    virtual void LogClient(int32_t id, const std::string& message) = 0;
    // Coloured pieces of a message.
    virtual std::string ClientSegment(const std::string& text) const = 0;
    virtual std::string FileSegment(const std::string& text) const = 0;
};

} // namespace vendrix::policy
