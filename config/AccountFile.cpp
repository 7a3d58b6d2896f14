#include "AccountFile.h"

namespace vendrix::config {

TAccountFile::TAccountFile(std::string path) : FFile(std::move(path)) {}

TAccount TAccountFile::Account(std::string_view name) const {
    return TAccount(FFile.Load(), std::string(name));
}

std::vector<std::string> TAccountFile::AccountNames() const {
    return FFile.Sections();
}

void TAccountFile::WriteKeys(std::string_view name,
                             const std::vector<std::pair<TAccountKey, int64_t>>& values) {
    FFile.Update([&](TIniDocument& doc) {
        if (!doc.SectionExists(name)) return;
        for (const auto& [key, value] : values)
            doc.WriteInteger(name, AccountKeyDef(key).Key, value);
    });
}

void TAccountFile::WriteTotals(std::string_view name, int64_t downloadKB, int64_t uploadKB) {
    WriteKeys(name, {{TAccountKey::TotalDownload, downloadKB}, {TAccountKey::TotalUpload, uploadKB}});
}

void TAccountFile::WriteTotalDownload(std::string_view name, int64_t kilobytes) {
    WriteKeys(name, {{TAccountKey::TotalDownload, kilobytes}});
}

void TAccountFile::WriteTotalUpload(std::string_view name, int64_t kilobytes) {
    WriteKeys(name, {{TAccountKey::TotalUpload, kilobytes}});
}

void TAccountFile::SaveCopy(TIniDocument copy) {
    std::shared_ptr<const TIniDocument> current = FFile.Load();
    for (const std::string& name : copy.Sections()) {
        if (!current->SectionExists(name)) continue;
        for (TAccountKey key : {TAccountKey::TotalDownload, TAccountKey::TotalUpload}) {
            std::string_view keyName = AccountKeyDef(key).Key;
            if (std::optional<std::string> value = current->Find(name, keyName))
                copy.WriteString(name, keyName, *value);
        }
    }
    FFile.Save(copy);
}

} // namespace vendrix::config
