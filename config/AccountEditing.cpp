#include "AccountEditing.h"

#include "Md5.h"

namespace vendrix::config {

void CopyAccount(TIniDocument& doc, std::string_view from, std::string_view to) {
    doc.CopySection(from, to);
}

void RenameAccount(TIniDocument& doc, std::string_view from, std::string_view to) {
    doc.RenameSection(from, to);
}

void DeleteAccount(TIniDocument& doc, std::string_view name) {
    doc.EraseSection(name);
}

void SetPassword(TIniDocument& doc, std::string_view name, std::string_view password) {
    WriteAccountString(doc, name, TAccountKey::Password, Md5Hex(password));
}

void WriteAccountString(TIniDocument& doc, std::string_view name, TAccountKey key, std::string_view value) {
    doc.WriteString(name, AccountKeyDef(key).Key, value);
}

void WriteAccountInteger(TIniDocument& doc, std::string_view name, TAccountKey key, int64_t value) {
    doc.WriteInteger(name, AccountKeyDef(key).Key, value);
}

void WriteAccountBool(TIniDocument& doc, std::string_view name, TAccountKey key, bool value) {
    doc.WriteBool(name, AccountKeyDef(key).Key, value);
}

void DeleteAccountKey(TIniDocument& doc, std::string_view name, TAccountKey key) {
    doc.DeleteKey(name, AccountKeyDef(key).Key);
}

void WriteAccessEntries(TIniDocument& doc, std::string_view name, const std::vector<TAccessEntry>& entries) {
    std::vector<std::string> values;
    for (const TAccessEntry& entry : entries)
        values.push_back(FormatAccessEntry(entry));
    doc.WriteList(name, AccessListDef().Prefix, values);
}

} // namespace vendrix::config
