// Changes the user setup dialog and the ratio, quota and message dialogs make
// to their in-memory copy of the account file.
#pragma once

#include <string_view>
#include <vector>

#include "AccessEntry.h"
#include "AccountTable.h"
#include "IniDocument.h"

namespace vendrix::config {

// Copies every key of `from` into `to` (created when missing).
void CopyAccount(TIniDocument& doc, std::string_view from, std::string_view to);
// Copies every key to `to`, then removes `from`; a change of letter case
// only respells the section.
void RenameAccount(TIniDocument& doc, std::string_view from, std::string_view to);
void DeleteAccount(TIniDocument& doc, std::string_view name);

// Stores the digest of `password`.
void SetPassword(TIniDocument& doc, std::string_view name, std::string_view password);
void WriteAccountString(TIniDocument& doc, std::string_view name, TAccountKey key, std::string_view value);
void WriteAccountInteger(TIniDocument& doc, std::string_view name, TAccountKey key, int64_t value);
void WriteAccountBool(TIniDocument& doc, std::string_view name, TAccountKey key, bool value);
void DeleteAccountKey(TIniDocument& doc, std::string_view name, TAccountKey key);
// Rewrites Dir0, Dir1, ... as the given list.
void WriteAccessEntries(TIniDocument& doc, std::string_view name, const std::vector<TAccessEntry>& entries);

} // namespace vendrix::config
