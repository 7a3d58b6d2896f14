#include "LogAppearance.h"

#include <array>
#include <utility>

namespace vendrix::config {

namespace {

template <typename TColors> auto ColorFields(TColors& c) {
    return std::to_array<std::pair<TSetting, decltype(&c.Sep)>>({
        {TSetting::SepTag, &c.Sep},
        {TSetting::TextTag, &c.Text},
        {TSetting::IDTag, &c.ID},
        {TSetting::ClientTag, &c.Client},
        {TSetting::IPTag, &c.IP},
        {TSetting::DateTag, &c.Date},
        {TSetting::TimeTag, &c.Time},
        {TSetting::MiscTag, &c.Misc},
        {TSetting::FileTag, &c.File},
        {TSetting::BackTag, &c.Back},
    });
}

} // namespace

TLogColors ReadLogColors(const TSettings& settings) {
    TLogColors colors;
    for (auto [setting, field] : ColorFields(colors)) {
        std::optional<TColor> color = ParseColorText(settings.ReadString(setting));
        *field = color ? FormatColorText(*color) : std::string(SettingDef(setting).Default);
    }
    return colors;
}

void WriteLogColors(TSettingsFile& file, const TLogColors& colors) {
    file.Update([&](TIniDocument& doc) {
        for (auto [setting, field] : ColorFields(colors))
            WriteTextSetting(doc, setting, *field);
    });
}

TLogFont ReadLogFont(const TSettings& settings) {
    return {settings.ReadString(TSetting::FontName), settings.ReadInteger(TSetting::FontCharSet),
            settings.ReadInteger(TSetting::FontSize), settings.ReadInteger(TSetting::FontStyle)};
}

void WriteLogFont(TSettingsFile& file, const TLogFont& font) {
    file.Update([&](TIniDocument& doc) {
        WriteTextSetting(doc, TSetting::FontName, font.Name);
        WriteIntegerSetting(doc, TSetting::FontCharSet, font.CharSet);
        WriteIntegerSetting(doc, TSetting::FontSize, font.Size);
        WriteIntegerSetting(doc, TSetting::FontStyle, font.Style);
    });
}

} // namespace vendrix::config
