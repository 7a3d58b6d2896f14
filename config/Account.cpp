#include "Account.h"

#include <cassert>
#include <openssl/crypto.h>

#include "CaseInsensitive.h"
#include "Md5.h"

namespace vendrix::config {

bool IsAnonymousName(std::string_view name) {
    return EqualsNoCase(name, "ANONYMOUS");
}

TAccount::TAccount(std::shared_ptr<const TIniDocument> doc, std::string name)
    : FDoc(std::move(doc)), FName(std::move(name)) {}

bool TAccount::Exists() const {
    return FDoc->SectionExists(FName);
}

std::string TAccount::ReadString(TAccountKey key) const {
    const TKeyDef& def = AccountKeyDef(key);
    return FDoc->ReadString(FName, def.Key, def.Default);
}

int32_t TAccount::ReadInteger(TAccountKey key) const {
    const TKeyDef& def = AccountKeyDef(key);
    assert(def.Type == TValueType::Integer);
    return FDoc->ReadInteger(FName, def.Key, static_cast<int32_t>(NumericDefault(def)));
}

int64_t TAccount::ReadInt64(TAccountKey key) const {
    const TKeyDef& def = AccountKeyDef(key);
    assert(def.Type != TValueType::Text);
    return FDoc->ReadInt64(FName, def.Key, NumericDefault(def));
}

bool TAccount::ReadBool(TAccountKey key) const {
    const TKeyDef& def = AccountKeyDef(key);
    assert(def.Type == TValueType::Boolean);
    return FDoc->ReadBool(FName, def.Key, NumericDefault(def) != 0);
}

std::vector<TAccessEntry> TAccount::AccessEntries() const {
    std::vector<TAccessEntry> entries;
    for (const std::string& value : FDoc->ReadList(FName, AccessListDef().Prefix))
        entries.push_back(ParseAccessEntry(value));
    return entries;
}

bool TAccount::PasswordMatches(std::string_view password) const {
    std::string stored = ReadString(TAccountKey::Password);
    std::string digest = Md5Hex(password);
    return stored.size() == digest.size() && CRYPTO_memcmp(stored.data(), digest.data(), digest.size()) == 0;
}

} // namespace vendrix::config
