#include "IniFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "AtomicFile.h"

namespace vendrix::config {

namespace {

struct TIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};

    bool operator==(const TIdentity& other) const {
        return Device == other.Device && Inode == other.Inode && Size == other.Size &&
               Modified.tv_sec == other.Modified.tv_sec && Modified.tv_nsec == other.Modified.tv_nsec;
    }
};

TIdentity IdentityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

// Longer than the coarsest modification-time step of the usual file systems
// (two seconds on FAT); kernel clocks step in milliseconds.
constexpr time_t kRacySeconds = 2;

int64_t SteadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TIniFile::TClock gClock = &SteadyNanos;

bool IsRecent(const timespec& modified) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (modified.tv_sec > now.tv_sec - kRacySeconds) return true;
    return modified.tv_sec == now.tv_sec - kRacySeconds && modified.tv_nsec >= now.tv_nsec;
}

// Reads the whole file; false with errno set when it cannot be opened or read.
bool ReadWhole(const std::string& path, std::string& content, struct stat& st) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        errno = EISDIR;
        ok = false;
    }
    content.clear();
    char buffer[65536];
    int error = 0;
    while (ok) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            ok = false;
        }
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    if (error != 0) errno = error;
    return ok;
}

const std::shared_ptr<const TIniDocument>& EmptyDocument() {
    static const std::shared_ptr<const TIniDocument> empty = std::make_shared<const TIniDocument>();
    return empty;
}

} // namespace

struct TIniFile::TCache {
    bool Checked = false;  // CheckedAt is valid
    int64_t CheckedAt = 0; // monotonic nanoseconds of the last check
    bool Present = false;  // the file existed and was read at the last check
    bool Recent = false;   // its time was too recent to trust the stat alone
    std::string Error;     // it is there but could not be read at the last check
    TIdentity Identity;
    std::string Content;
    std::shared_ptr<const TIniDocument> Doc = EmptyDocument();
};

TIniFile::TIniFile(std::string path) : FPath(std::move(path)) {
    // One copy per file, however the path is spelled.
    static std::unordered_map<std::string, std::shared_ptr<TCache>> caches;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(FPath, error);
    std::shared_ptr<TCache>& cache = caches[error ? FPath : absolute.lexically_normal().string()];
    if (!cache) cache = std::make_shared<TCache>();
    FCache = cache;
}

void TIniFile::SetClock(TClock clock) {
    gClock = clock ? clock : &SteadyNanos;
}

std::shared_ptr<const TIniDocument> TIniFile::Load() const {
    TCache& cache = *FCache;
    int64_t now = gClock();
    if (cache.Checked && now - cache.CheckedAt < std::chrono::nanoseconds(kRecheckInterval).count())
        return cache.Doc;
    cache.Checked = true;
    cache.CheckedAt = now;
    struct stat st {};
    cache.Error.clear();
    if (stat(FPath.c_str(), &st) != 0) {
        // Only a file that is not there reads as empty without an error.
        if (errno != ENOENT && errno != ENOTDIR) cache.Error = FPath + ": " + std::strerror(errno);
        cache.Present = false;
        cache.Content.clear();
        cache.Doc = EmptyDocument();
        return cache.Doc;
    }
    if (!S_ISREG(st.st_mode)) errno = EISDIR;
    if (S_ISREG(st.st_mode) && cache.Present && !cache.Recent && IdentityOf(st) == cache.Identity)
        return cache.Doc;

    std::string content;
    // Never opened unless it is a regular file: a pipe would block the open.
    if (!S_ISREG(st.st_mode) || !ReadWhole(FPath, content, st)) {
        cache.Error = FPath + ": " + std::strerror(errno);
        cache.Present = false;
        cache.Content.clear();
        cache.Doc = EmptyDocument();
        return cache.Doc;
    }
    if (!cache.Present || content != cache.Content) {
        cache.Doc = std::make_shared<const TIniDocument>(TIniDocument::Parse(content));
        cache.Content = std::move(content);
    }
    cache.Present = true;
    cache.Identity = IdentityOf(st);
    cache.Recent = IsRecent(st.st_mtim);
    return cache.Doc;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    return Load()->ReadString(section, key, def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    return Load()->ReadInteger(section, key, def);
}

int64_t TIniFile::ReadInt64(std::string_view section, std::string_view key, int64_t def) const {
    return Load()->ReadInt64(section, key, def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return Load()->ReadBool(section, key, def);
}

std::vector<std::string> TIniFile::ReadList(std::string_view section, std::string_view prefix) const {
    return Load()->ReadList(section, prefix);
}

bool TIniFile::SectionExists(std::string_view section) const {
    return Load()->SectionExists(section);
}

std::vector<std::string> TIniFile::Sections() const {
    return Load()->Sections();
}

std::string TIniFile::ReadError() const {
    Load();
    return FCache->Error;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Update([&](TIniDocument& doc) { doc.WriteString(section, key, value); });
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
    Update([&](TIniDocument& doc) { doc.WriteInteger(section, key, value); });
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    Update([&](TIniDocument& doc) { doc.WriteBool(section, key, value); });
}

void TIniFile::WriteList(std::string_view section, std::string_view prefix,
                         const std::vector<std::string>& values) {
    Update([&](TIniDocument& doc) { doc.WriteList(section, prefix, values); });
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    Update([&](TIniDocument& doc) { doc.DeleteKey(section, key); });
}

void TIniFile::EraseSection(std::string_view section) {
    Update([&](TIniDocument& doc) { doc.EraseSection(section); });
}

void TIniFile::Update(const std::function<void(TIniDocument&)>& edit) {
    FCache->Checked = false; // edit the file as it is now, not as last checked
    TIniDocument doc = *Load();
    if (!FCache->Error.empty()) throw std::runtime_error("cannot read " + FCache->Error);
    edit(doc);
    Save(doc);
}

void TIniFile::Save(const TIniDocument& doc) {
    std::string content = doc.Serialize();
    FCache->Checked = false; // compare with the file as it is now
    Load();
    // What the file holds is unknown: saving would replace it.
    if (!FCache->Error.empty()) throw std::runtime_error("cannot read " + FCache->Error);
    if (FCache->Present && content == FCache->Content) return; // nothing would change on disk
    WriteFileAtomic(FPath, content);
    TCache& cache = *FCache;
    struct stat st {};
    cache.Doc = std::make_shared<const TIniDocument>(doc);
    cache.Content = std::move(content);
    cache.Present = stat(FPath.c_str(), &st) == 0;
    cache.Identity = IdentityOf(st);
    cache.Recent = true; // compare bytes until the stat can be trusted
    cache.Checked = true;
    cache.CheckedAt = gClock();
}

} // namespace vendrix::config
