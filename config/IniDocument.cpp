#include "IniDocument.h"

#include <stdexcept>

#include "IniValue.h"

namespace vendrix::config {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool HasLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckSectionName(std::string_view name) {
    if (HasLineBreak(name) || name.find(']') != std::string_view::npos || TrimBlanks(name) != name)
        throw std::invalid_argument("invalid section name \"" + std::string(name) + "\"");
}

void CheckKeyName(std::string_view key) {
    if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
        TrimBlanks(key) != key || key.front() == '[' || key.front() == ';' || key.front() == '#')
        throw std::invalid_argument("invalid key name \"" + std::string(key) + "\"");
}

void CheckValue(std::string_view value) {
    if (HasLineBreak(value)) throw std::invalid_argument("a value cannot hold a line break");
}

bool IsBlankLine(std::string_view line) {
    return TrimBlanks(line).empty();
}

// True when `key` is prefix + a decimal number written without leading zeros
// that is at least `count`.
bool IsNumberedKeyFrom(std::string_view key, std::string_view prefix, std::size_t count) {
    if (key.size() <= prefix.size() || !EqualsNoCase(key.substr(0, prefix.size()), prefix)) return false;
    std::string_view digits = key.substr(prefix.size());
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    if (digits.size() > 1 && digits[0] == '0') return false;
    std::string limit = std::to_string(count);
    return digits.size() > limit.size() || (digits.size() == limit.size() && digits >= limit);
}

} // namespace

TIniDocument TIniDocument::Parse(std::string_view text) {
    TIniDocument doc;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        doc.FByteOrderMark = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    std::size_t firstBreak = text.find('\n');
    if (firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r')
        doc.FLineEnd = "\r\n";

    doc.FSections.emplace_back(); // the lines before the first section
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // Every CR before the LF belongs to the line end: one kept in the
        // line would read as a CR LF line end once the document is saved.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        std::string_view trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::size_t close = trimmed.find(']');
            TSection section;
            section.Name = std::string(TrimBlanks(
                trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            section.Header = std::string(line);
            section.HasHeader = true;
            doc.FSections.push_back(std::move(section));
            continue;
        }
        TEntry entry{std::string(line), {}, {}};
        std::size_t equals = line.find('=');
        if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#' &&
            equals != std::string_view::npos) {
            entry.Key = std::string(TrimBlanks(line.substr(0, equals)));
            entry.Stored = std::string(line.substr(equals + 1));
        }
        doc.FSections.back().Entries.push_back(std::move(entry));
    }
    for (TSection& section : doc.FSections)
        IndexKeys(section);
    doc.IndexSections();
    return doc;
}

std::string TIniDocument::Serialize() const {
    std::string text;
    if (FByteOrderMark) text += kByteOrderMark;
    for (const TSection& section : FSections) {
        if (section.HasHeader) text.append(section.Header).append(FLineEnd);
        for (const TEntry& entry : section.Entries)
            text.append(entry.Line).append(FLineEnd);
    }
    return text;
}

void TIniDocument::IndexKeys(TSection& section) {
    section.KeyIndex.clear();
    for (std::size_t i = 0; i < section.Entries.size(); ++i)
        if (!section.Entries[i].Key.empty()) section.KeyIndex.emplace(section.Entries[i].Key, i);
}

void TIniDocument::IndexSections() {
    FSectionIndex.clear();
    for (std::size_t i = 0; i < FSections.size(); ++i)
        if (FSections[i].HasHeader) FSectionIndex.emplace(FSections[i].Name, i);
}

const TIniDocument::TSection* TIniDocument::FindSection(std::string_view name) const {
    auto it = FSectionIndex.find(name);
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
}

TIniDocument::TSection* TIniDocument::FindSection(std::string_view name) {
    auto it = FSectionIndex.find(name);
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
}

const TIniDocument::TEntry* TIniDocument::FindEntry(std::string_view section, std::string_view key) const {
    const TSection* found = FindSection(section);
    if (!found) return nullptr;
    auto it = found->KeyIndex.find(key);
    return it == found->KeyIndex.end() ? nullptr : &found->Entries[it->second];
}

bool TIniDocument::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool TIniDocument::KeyExists(std::string_view section, std::string_view key) const {
    return FindEntry(section, key) != nullptr;
}

std::vector<std::string> TIniDocument::Sections() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < FSections.size(); ++i) {
        auto it = FSectionIndex.find(FSections[i].Name);
        if (FSections[i].HasHeader && it != FSectionIndex.end() && it->second == i)
            names.push_back(FSections[i].Name);
    }
    return names;
}

std::vector<std::string> TIniDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const TSection* found = FindSection(section);
    if (!found) return keys;
    for (std::size_t i = 0; i < found->Entries.size(); ++i) {
        const TEntry& entry = found->Entries[i];
        if (!entry.Key.empty() && found->KeyIndex.at(entry.Key) == i) keys.push_back(entry.Key);
    }
    return keys;
}

std::optional<std::string> TIniDocument::Find(std::string_view section, std::string_view key) const {
    const TEntry* entry = FindEntry(section, key);
    if (!entry) return std::nullopt;
    return std::string(UnquoteValue(entry->Stored).substr(0, kMaxValueLength));
}

std::string TIniDocument::ReadString(std::string_view section, std::string_view key,
                                     std::string_view def) const {
    std::optional<std::string> value = Find(section, key);
    return value ? std::move(*value) : std::string(def);
}

int32_t TIniDocument::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    const TEntry* entry = FindEntry(section, key);
    if (!entry) return def;
    return ParseInt32(UnquoteValue(entry->Stored).substr(0, kMaxValueLength)).value_or(def);
}

int64_t TIniDocument::ReadInt64(std::string_view section, std::string_view key, int64_t def) const {
    const TEntry* entry = FindEntry(section, key);
    if (!entry) return def;
    return ParseInt64(UnquoteValue(entry->Stored).substr(0, kMaxValueLength)).value_or(def);
}

bool TIniDocument::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> TIniDocument::ReadList(std::string_view section, std::string_view prefix) const {
    std::vector<std::string> values;
    for (std::size_t i = 0;; ++i) {
        std::optional<std::string> value = Find(section, std::string(prefix) + std::to_string(i));
        if (!value || value->empty()) return values;
        values.push_back(std::move(*value));
    }
}

TIniDocument::TSection& TIniDocument::SectionForWrite(std::string_view name) {
    if (TSection* found = FindSection(name)) return *found;
    CheckSectionName(name);
    if (FSections.empty()) FSections.emplace_back();
    TSection& last = FSections.back();
    bool documentEmpty = FSections.size() == 1 && last.Entries.empty();
    if (!documentEmpty && !(!last.Entries.empty() && IsBlankLine(last.Entries.back().Line)))
        last.Entries.push_back(TEntry{}); // a blank line between sections
    TSection section;
    section.Name = std::string(name);
    section.Header = "[" + section.Name + "]";
    section.HasHeader = true;
    FSections.push_back(std::move(section));
    FSectionIndex.emplace(FSections.back().Name, FSections.size() - 1);
    return FSections.back();
}

void TIniDocument::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    CheckKeyName(key);
    CheckValue(value);
    TSection& target = SectionForWrite(section);
    auto it = target.KeyIndex.find(key);
    if (it != target.KeyIndex.end()) {
        TEntry& entry = target.Entries[it->second];
        entry.Stored = std::string(value);
        entry.Line = entry.Key + "=" + entry.Stored;
        return;
    }
    std::size_t position = 0;
    for (std::size_t i = 0; i < target.Entries.size(); ++i)
        if (!IsBlankLine(target.Entries[i].Line)) position = i + 1;
    TEntry entry{std::string(key) + "=" + std::string(value), std::string(key), std::string(value)};
    target.Entries.insert(target.Entries.begin() + static_cast<std::ptrdiff_t>(position), std::move(entry));
    IndexKeys(target);
}

void TIniDocument::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniDocument::WriteList(std::string_view section, std::string_view prefix,
                             const std::vector<std::string>& values) {
    std::size_t count = 0;
    for (const std::string& value : values)
        if (!value.empty()) WriteString(section, std::string(prefix) + std::to_string(count++), value);
    TSection* target = FindSection(section);
    if (!target) return;
    std::erase_if(target->Entries,
                  [&](const TEntry& entry) { return IsNumberedKeyFrom(entry.Key, prefix, count); });
    IndexKeys(*target);
}

void TIniDocument::DeleteKey(std::string_view section, std::string_view key) {
    TSection* target = FindSection(section);
    if (!target || !target->KeyIndex.contains(key)) return;
    std::erase_if(target->Entries, [&](const TEntry& entry) { return EqualsNoCase(entry.Key, key); });
    IndexKeys(*target);
}

void TIniDocument::EraseSection(std::string_view section) {
    if (!FindSection(section)) return;
    std::erase_if(FSections, [&](const TSection& s) { return s.HasHeader && EqualsNoCase(s.Name, section); });
    IndexSections();
}

void TIniDocument::CopySection(std::string_view from, std::string_view to) {
    const TSection* source = FindSection(from);
    if (!source || EqualsNoCase(from, to)) return;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& key : Keys(from))
        pairs.emplace_back(key, source->Entries[source->KeyIndex.at(key)].Stored);
    SectionForWrite(to);
    for (const auto& [key, stored] : pairs)
        WriteString(to, key, stored);
}

void TIniDocument::RenameSection(std::string_view from, std::string_view to) {
    if (!EqualsNoCase(from, to)) {
        if (!FindSection(from)) return;
        CopySection(from, to);
        EraseSection(from);
        return;
    }
    TSection* target = FindSection(from);
    if (!target) return;
    CheckSectionName(to);
    target->Name = std::string(to);
    target->Header = "[" + target->Name + "]";
    IndexSections();
}

} // namespace vendrix::config
