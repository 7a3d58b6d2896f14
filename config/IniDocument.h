// A settings file held in memory: "[Section]" lines opening sections and
// "key=value" lines inside them. Section and key names are compared without
// regard to case. Every line the parser does not understand (comments, blank
// lines, text before the first section) is kept, and so is the order of
// everything, so a document saved after an edit differs from the file it came
// from only in the lines that were edited.
//
// When a name occurs twice, readers see the first occurrence; writers change
// the first occurrence; EraseSection removes every occurrence.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CaseInsensitive.h"

namespace vendrix::config {

class TIniDocument {
public:
    TIniDocument() = default;

    // Accepts LF and CR LF line ends and a UTF-8 byte order mark; the same
    // line end and mark are written back by Serialize.
    static TIniDocument Parse(std::string_view text);
    std::string Serialize() const;

    bool SectionExists(std::string_view section) const;
    bool KeyExists(std::string_view section, std::string_view key) const;
    // Section names as spelled in the file, in file order, each name once.
    std::vector<std::string> Sections() const;
    // Key names of a section as spelled in the file, in file order.
    std::vector<std::string> Keys(std::string_view section) const;

    // The value as readers see it (trimmed, unquoted, at most 2047
    // characters); nullopt when the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // A missing key, or a value that is no integer in range, gives `def`.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    int64_t ReadInt64(std::string_view section, std::string_view key, int64_t def) const;
    // Read as an integer; any non-zero integer is true.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    // prefix+"0", prefix+"1", ... up to the first key that is missing or empty.
    std::vector<std::string> ReadList(std::string_view section, std::string_view prefix) const;

    // Replaces the key's value, or appends the key behind the last key of the
    // section, or appends the section at the end of the document. Names and
    // values holding a line break (or a section name holding "]", a key name
    // holding "=") would corrupt the file and raise std::invalid_argument.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int64_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Rewrites the whole list: prefix+"0" .. prefix+"n-1" get the values (in
    // place where they exist), every other numbered key of that prefix goes.
    // Empty values are left out, since an empty entry would end the list.
    void WriteList(std::string_view section, std::string_view prefix, const std::vector<std::string>& values);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);
    // Writes every key of `from` into `to`, value text as stored.
    void CopySection(std::string_view from, std::string_view to);
    // Copies every key to `to`, then erases `from`. A rename that changes
    // only the letter case respells the section header instead.
    void RenameSection(std::string_view from, std::string_view to);

private:
    struct TEntry {
        std::string Line;   // the line as written, without its line end
        std::string Key;    // empty for a line that is no key line
        std::string Stored; // the text after "=", as stored
    };
    struct TSection {
        std::string Name; // empty (and no header line) for the lines before the first section
        std::string Header;
        bool HasHeader = false;
        std::vector<TEntry> Entries;
        std::unordered_map<std::string, std::size_t, TNoCaseHash, TNoCaseEqual> KeyIndex;
    };

    const TSection* FindSection(std::string_view name) const;
    TSection* FindSection(std::string_view name);
    const TEntry* FindEntry(std::string_view section, std::string_view key) const;
    TSection& SectionForWrite(std::string_view name);
    static void IndexKeys(TSection& section);
    void IndexSections();

    std::vector<TSection> FSections;
    std::unordered_map<std::string, std::size_t, TNoCaseHash, TNoCaseEqual> FSectionIndex;
    std::string FLineEnd = "\n";
    bool FByteOrderMark = false;
};

} // namespace vendrix::config
