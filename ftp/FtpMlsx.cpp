#include "FtpMlsx.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::ftp {

namespace {
struct TFactName {
    TFact Fact;
    const char* Name;
};
constexpr TFactName kFactNames[] = {
    {factType, "type"}, {factSize, "size"},     {factModify, "modify"},
    {factPerm, "perm"}, {factUnique, "unique"},
};

bool SameIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] + 32) : a[i];
        if (x != b[i]) return false;
    }
    return i == a.size() && !b[i];
}
} // namespace

std::string FactsFeature(uint8_t selected) {
    std::string text;
    for (const TFactName& f : kFactNames)
        text += std::string(f.Name) + ((selected & f.Fact) ? "*;" : ";");
    return text;
}

uint8_t ParseFacts(const std::string& list) {
    uint8_t mask = 0;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        const std::string name = list.substr(start, end - start);
        for (const TFactName& f : kFactNames)
            if (SameIgnoringCase(name, f.Name)) mask |= f.Fact;
        start = end + 1;
    }
    return mask;
}

std::string FactsList(uint8_t selected) {
    std::string text;
    for (const TFactName& f : kFactNames)
        if (selected & f.Fact) text += std::string(f.Name) + ";";
    return text;
}

std::string FactsLine(const std::string& path, const std::string& name, const std::string& type,
                      const std::string& perm, uint8_t selected) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    const bool dir = S_ISDIR(st.st_mode);
    std::string line;
    if (selected & factType)
        line += "type=" + (type.empty() ? std::string(dir ? "dir" : "file") : type) + ";";
    if ((selected & factSize) && !dir) line += "size=" + std::to_string(int64_t(st.st_size)) + ";";
    if (selected & factModify) line += "modify=" + UtcTimeStamp(st.st_mtime) + ";";
    if (selected & factPerm) line += "perm=" + perm + ";";
    if (selected & factUnique) {
        char unique[48];
        std::snprintf(unique, sizeof unique, "%llxU%llx", static_cast<unsigned long long>(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        line += std::string("unique=") + unique + ";";
    }
    return line + " " + name;
}

std::string UtcTimeStamp(std::time_t t) {
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

bool ParseUtcTimeStamp(const std::string& text, std::time_t& t) {
    if (text.size() < 14) return false;
    for (size_t i = 0; i < 14; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    if (text.size() > 14) {
        if (text[14] != '.' || text.size() == 15) return false;
        for (size_t i = 15; i < text.size(); ++i)
            if (text[i] < '0' || text[i] > '9') return false;
    }
    auto num = [&](size_t at, size_t len) { return std::stoi(text.substr(at, len)); };
    std::tm tm{};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(4, 2) - 1;
    tm.tm_mday = num(6, 2);
    tm.tm_hour = num(8, 2);
    tm.tm_min = num(10, 2);
    tm.tm_sec = num(12, 2);
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 60)
        return false;
    t = ::timegm(&tm);
    return true;
}

std::string ModePermissions(const std::string& path, bool directory) {
    const bool read = ::access(path.c_str(), R_OK) == 0;
    const bool write = ::access(path.c_str(), W_OK) == 0;
    std::string perm;
    if (directory) {
        if (write) perm += "c";
        if (read) perm += "el";
        if (write) perm += "mp";
    } else {
        if (write) perm += "a";
        if (read) perm += "r";
        if (write) perm += "w";
    }
    return perm;
}

} // namespace vendrix::ftp
