#include "SettingsFile.h"

#include <cassert>

namespace vendrix::config {

TSettings::TSettings() : FDoc(std::make_shared<const TIniDocument>()) {}

TSettings::TSettings(std::shared_ptr<const TIniDocument> doc) : FDoc(std::move(doc)) {}

std::string TSettings::ReadString(TSetting setting) const {
    const TKeyDef& def = SettingDef(setting);
    return FDoc->ReadString(def.Section, def.Key, def.Default);
}

int32_t TSettings::ReadInteger(TSetting setting) const {
    const TKeyDef& def = SettingDef(setting);
    assert(def.Type == TValueType::Integer);
    return FDoc->ReadInteger(def.Section, def.Key, static_cast<int32_t>(NumericDefault(def)));
}

bool TSettings::ReadBool(TSetting setting) const {
    const TKeyDef& def = SettingDef(setting);
    assert(def.Type == TValueType::Boolean);
    return FDoc->ReadBool(def.Section, def.Key, NumericDefault(def) != 0);
}

std::vector<std::string> TSettings::ReadIpList(TIpList list) const {
    const TListDef& def = IpListDef(list);
    return FDoc->ReadList(def.Section, def.Prefix);
}

void WriteTextSetting(TIniDocument& doc, TSetting setting, std::string_view value) {
    const TKeyDef& def = SettingDef(setting);
    doc.WriteString(def.Section, def.Key, value);
}

void WriteIntegerSetting(TIniDocument& doc, TSetting setting, int64_t value) {
    const TKeyDef& def = SettingDef(setting);
    doc.WriteInteger(def.Section, def.Key, value);
}

void WriteBoolSetting(TIniDocument& doc, TSetting setting, bool value) {
    const TKeyDef& def = SettingDef(setting);
    doc.WriteBool(def.Section, def.Key, value);
}

void WriteIpList(TIniDocument& doc, TIpList list, const std::vector<std::string>& entries) {
    const TListDef& def = IpListDef(list);
    doc.EraseSection(def.Section);
    doc.WriteList(def.Section, def.Prefix, entries);
}

TSettingsFile::TSettingsFile(std::string path) : FFile(std::move(path)) {}

void TSettingsFile::WriteString(TSetting setting, std::string_view value) {
    FFile.Update([&](TIniDocument& doc) { WriteTextSetting(doc, setting, value); });
}

void TSettingsFile::WriteInteger(TSetting setting, int64_t value) {
    FFile.Update([&](TIniDocument& doc) { WriteIntegerSetting(doc, setting, value); });
}

void TSettingsFile::WriteBool(TSetting setting, bool value) {
    FFile.Update([&](TIniDocument& doc) { WriteBoolSetting(doc, setting, value); });
}

void TSettingsFile::WriteIpList(TIpList list, const std::vector<std::string>& entries) {
    FFile.Update([&](TIniDocument& doc) { config::WriteIpList(doc, list, entries); });
}

void TSettingsFile::AppendIp(TIpList list, std::string_view entry) {
    const TListDef& def = IpListDef(list);
    FFile.Update([&](TIniDocument& doc) {
        std::size_t next = doc.ReadList(def.Section, def.Prefix).size();
        doc.WriteString(def.Section, std::string(def.Prefix) + std::to_string(next), entry);
    });
}

} // namespace vendrix::config
