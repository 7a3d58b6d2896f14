// Machine listings (MLSD, MLST): the facts of a file system entry as
// RFC 3659 writes them, and the UTC time stamps that MDTM-style commands
// read and MFMT sets.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace vendrix::ftp {

// The facts a session may show, as bits of a mask.
enum TFact : uint8_t {
    factType = 1,
    factSize = 2,
    factModify = 4,
    factPerm = 8,
    factUnique = 16,
};
inline constexpr uint8_t kAllFacts = factType | factSize | factModify | factPerm | factUnique;

// The facts FEAT lists, those in `selected` marked with "*":
// "type*;size*;modify*;perm*;unique*;".
std::string FactsFeature(uint8_t selected);
// The mask an OPTS MLST parameter selects ("type;size;"); unknown facts are
// left out, as RFC 3659 asks.
uint8_t ParseFacts(const std::string& list);
// The selected facts as OPTS MLST confirms them: "type;size;".
std::string FactsList(uint8_t selected);

// The facts line of the entry at a local path, shown under `name`:
// "type=file;size=12;modify=20240305140700;perm=rw;unique=803U1a2b; name".
// `type` overrides the entry's own type ("cdir", "pdir"); empty: file or dir.
// Empty when the entry cannot be read.
std::string FactsLine(const std::string& path, const std::string& name, const std::string& type,
                      const std::string& perm, uint8_t selected);

// A time as UTC "YYYYMMDDHHMMSS".
std::string UtcTimeStamp(std::time_t t);
// Reads "YYYYMMDDHHMMSS" (fractions of a second ".sss" allowed and ignored)
// as UTC; false for anything else.
bool ParseUtcTimeStamp(const std::string& text, std::time_t& t);

// The "perm" letters the file's own mode bits allow this process; the
// engine's answer when no policy gives one.
std::string ModePermissions(const std::string& path, bool directory);

} // namespace vendrix::ftp
