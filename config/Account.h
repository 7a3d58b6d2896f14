// One account as the account file held it at one moment. A missing section
// is an unknown account and reads like a section without keys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AccessEntry.h"
#include "AccountTable.h"
#include "IniDocument.h"

namespace vendrix::config {

// "ANONYMOUS" in any letter case.
bool IsAnonymousName(std::string_view name);

class TAccount {
public:
    TAccount(std::shared_ptr<const TIniDocument> doc, std::string name);

    const std::string& Name() const { return FName; }
    bool Exists() const;

    // A missing key or an unreadable number gives the key's default.
    std::string ReadString(TAccountKey key) const;
    int32_t ReadInteger(TAccountKey key) const;
    int64_t ReadInt64(TAccountKey key) const;
    bool ReadBool(TAccountKey key) const;

    // Dir0, Dir1, ... up to the first missing or empty one.
    std::vector<TAccessEntry> AccessEntries() const;

    // Compares the digest of `password` with the stored "Password" byte for
    // byte: an empty or missing digest, or one stored in lower case, never
    // matches. (Whether the anonymous account needs a password at all is
    // the login policy's decision.)
    bool PasswordMatches(std::string_view password) const;

private:
    std::shared_ptr<const TIniDocument> FDoc;
    std::string FName;
};

} // namespace vendrix::config
