// Typed access to the settings file by the rows of SettingsTable.h: a missing
// key or an unreadable number gives the row's default.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "IniDocument.h"
#include "IniFile.h"
#include "SettingsTable.h"

namespace vendrix::config {

// The settings as they were at one moment (one check of the file).
class TSettings {
public:
    TSettings();
    explicit TSettings(std::shared_ptr<const TIniDocument> doc);

    std::string ReadString(TSetting setting) const;
    int32_t ReadInteger(TSetting setting) const;
    bool ReadBool(TSetting setting) const;
    // The entries up to the first missing or empty one.
    std::vector<std::string> ReadIpList(TIpList list) const;

    const TIniDocument& Document() const { return *FDoc; }

private:
    std::shared_ptr<const TIniDocument> FDoc;
};

// Edits of a settings document, for changes saved together.
void WriteTextSetting(TIniDocument& doc, TSetting setting, std::string_view value);
void WriteIntegerSetting(TIniDocument& doc, TSetting setting, int64_t value);
void WriteBoolSetting(TIniDocument& doc, TSetting setting, bool value);
// Erases the list's section and writes the entries anew.
void WriteIpList(TIniDocument& doc, TIpList list, const std::vector<std::string>& entries);

class TSettingsFile {
public:
    explicit TSettingsFile(std::string path);

    TSettings Load() const { return TSettings(FFile.Load()); }

    std::string ReadString(TSetting setting) const { return Load().ReadString(setting); }
    int32_t ReadInteger(TSetting setting) const { return Load().ReadInteger(setting); }
    bool ReadBool(TSetting setting) const { return Load().ReadBool(setting); }
    std::vector<std::string> ReadIpList(TIpList list) const { return Load().ReadIpList(list); }

    // Each write goes to disk at once; failures raise std::runtime_error.
    void WriteString(TSetting setting, std::string_view value);
    void WriteInteger(TSetting setting, int64_t value);
    void WriteBool(TSetting setting, bool value);
    void WriteIpList(TIpList list, const std::vector<std::string>& entries);
    // Adds one entry behind the last one of the list.
    void AppendIp(TIpList list, std::string_view entry);
    void Update(const std::function<void(TIniDocument&)>& edit) { FFile.Update(edit); }

    const std::string& Path() const { return FFile.Path(); }
    // Why the file, though there, could not be read (empty when it could).
    std::string ReadError() const { return FFile.ReadError(); }

private:
    TIniFile FFile;
};

} // namespace vendrix::config
