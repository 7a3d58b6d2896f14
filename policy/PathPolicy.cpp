#include "PathPolicy.h"

#include "AppClient.h"
#include "AsciiText.h"
#include "ClientListing.h"
#include "FactPermissions.h"
#include "FtpListing.h"
#include "FtpSrvT.h"
#include "PathRights.h"
#include "PolicyContext.h"
#include "RealPath.h"
#include "ReplyPaths.h"
#include "Translate.h"

namespace vendrix::policy {

namespace {
char Letter(TPathPolicy::TValidate kind) {
    using V = TPathPolicy::TValidate;
    switch (kind) {
    case V::Get:
        return config::kRightDownload;
    case V::Put:
    case V::Mfmt:
        return config::kRightUpload;
    case V::Hash:
        return config::kRightDownload;
    case V::Dele:
        return config::kRightErase;
    case V::Rmd:
        return config::kRightRemoveDir;
    case V::RnFr:
    case V::RnTo:
        return config::kRightRename;
    case V::Size:
        break;
    }
    return '\0';
}
} // namespace

TPathPolicy::TRules TPathPolicy::Rules(const TAppClient& client) const {
    const ftp::TPathStyle& style = FOwner.PathStyle();
    TRules rules{style, WithTrailingSep(style, client.HomeDir), false, {}, {}};
    // Before a login completes the session has no account: nothing is open.
    if (client.FtpState != ftp::ftpcReady) return rules;
    config::TAccount account = FOwner.AccountFile().Account(client.UserName);
    rules.Virtual = account.ReadBool(config::TAccountKey::VirtualDir);
    rules.Entries = NormalizedEntries(rules.Style, account.AccessEntries());
    rules.RealEntries = rules.Entries;
    if (!rules.Style.Drives)
        for (config::TAccessEntry& e : rules.RealEntries)
            if (auto real = ResolvePath(e.Directory)) e.Directory = WithTrailingSep(rules.Style, *real);
    return rules;
}

std::string TPathPolicy::Mapped(const TRules& rules, const std::string& path) const {
    std::string local =
        rules.Virtual ? RerootUnderHome(rules.Style, rules.Home, path) : CollapseDots(rules.Style, path);
    return MapVirtualLink(rules.Style, rules.Entries, local, rules.Home);
}

bool TPathPolicy::Passes(const TRules& rules, const std::string& path, const TCheck& check) const {
    if (!check(rules.Entries, path)) return false;
    // Only the server's own file system has links to follow.
    if (rules.Style.Drives) return true;
    std::optional<std::string> real = ResolvePath(path);
    if (!real) return false;
    return *real == path || check(rules.RealEntries, *real);
}

void TPathPolicy::Pending(TAppClient& client, const char* key, const std::string& fileSegments) {
    client.PendingActionKey = key;
    client.PendingActionFile = fileSegments;
}

void TPathPolicy::FinishAction(TAppClient& client, const std::string& answer) {
    if (client.PendingActionKey.empty()) return;
    // A positive completion reply means the action happened; anything else
    // (refused, failed, an error) means it did not.
    const bool done = !answer.empty() && answer[0] == '2';
    const std::string key = client.PendingActionKey + (done ? "" : "Fail");
    const std::string file = std::move(client.PendingActionFile);
    client.PendingActionKey.clear();
    client.PendingActionFile.clear();
    LogClient(client, key, file);
}

void TPathPolicy::LogClient(const TAppClient& client, const std::string& key,
                            const std::string& fileSegments) {
    FOwner.LogClient(
        client.ID, config::FormatText(FOwner.Translate(key),
                                      {FOwner.ClientSegment(net::UpperCase(client.UserName)), fileSegments}));
}

void TPathPolicy::ChangeDirectory(TAppClient& client, std::string& directory, bool& allowed, bool& dirExist) {
    const TRules rules = Rules(client);
    const ftp::TPathStyle& style = rules.Style;
    dirExist = true;

    std::string dir = client.Directory;
    if (rules.Virtual) {
        // Above the home is the client's root, which is the home ("CDUP" there).
        const std::string collapsed = CollapseDots(style, dir);
        if (PathWithin(style, collapsed, rules.Home) && !PathWithin(style, rules.Home, collapsed))
            dir = rules.Home;
        else
            dir = RerootUnderHome(style, rules.Home, dir);
    } else {
        dir = CollapseDots(style, dir);
    }
    dir = WithTrailingSep(style, dir);
    if (dir.find(std::string(1, style.Sep) + "~" + style.Sep) != std::string::npos) dir = rules.Home;
    client.Directory = dir;
    directory = dir;

    const std::string target = MapVirtualLink(style, rules.Entries, dir, rules.Home);
    // A directory strictly below an entry without "S" is out of that entry's
    // reach; another entry with "S" above it still reaches it.
    allowed = false;
    bool belowPlainEntry = false, reachedBySubdirs = false;
    for (const config::TAccessEntry& e : rules.Entries) {
        if (!PathWithin(style, e.Directory, target)) continue;
        allowed = true;
        if (e.Has(config::kRightSubdirs))
            reachedBySubdirs = true;
        else if (!SamePath(style, e.Directory, target))
            belowPlainEntry = true;
    }
    if (belowPlainEntry && !reachedBySubdirs) dirExist = false;
    if (allowed) {
        if (!ftp::DirectoryExists(target)) {
            dirExist = false;
            allowed = false;
        } else {
            allowed = !IsAccessForbidden(style, rules.Entries, target) &&
                      Passes(rules, target,
                             [&](const std::vector<config::TAccessEntry>& entries, const std::string& p) {
                                 for (const config::TAccessEntry& e : entries)
                                     if (PathWithin(style, e.Directory, p) &&
                                         (SamePath(style, e.Directory, p) || e.Has(config::kRightSubdirs)))
                                         return !IsAccessForbidden(style, entries, p);
                                 return false;
                             });
        }
    }
    if (allowed && dirExist) LogClient(client, "sRepNow", FOwner.FileSegment(client.Directory));
}

void TPathPolicy::MakeDirectory(TAppClient& client, std::string& directory, bool& allowed) {
    const TRules rules = Rules(client);
    const ftp::TPathStyle& style = rules.Style;
    const std::string local =
        rules.Virtual ? RerootUnderHome(rules.Style, rules.Home, directory) : CollapseDots(style, directory);
    const std::string parent = MapVirtualLink(style, rules.Entries, DirectoryPart(style, local), rules.Home);
    const std::string target = parent + NamePart(style, local);
    allowed =
        Passes(rules, target, [&](const std::vector<config::TAccessEntry>& entries, const std::string& p) {
            return !IsAccessForbidden(style, entries, p) &&
                   HasRight(style, entries, DirectoryPart(style, p), config::kRightMakeDir);
        });
    if (!allowed) return;
    directory = target;
    Pending(client, "sFMake", FOwner.FileSegment(directory));
}

void TPathPolicy::Validate(TValidate kind, TAppClient& client, std::string& filePath, bool& allowed) {
    const TRules rules = Rules(client);
    const ftp::TPathStyle& style = rules.Style;
    const std::string path = Mapped(rules, filePath);
    const char letter = Letter(kind);

    const bool ok =
        Passes(rules, path, [&](const std::vector<config::TAccessEntry>& entries, const std::string& p) {
            if (IsAccessForbidden(style, entries, p)) return false;
            if ((kind == TValidate::RnFr || kind == TValidate::Rmd) && HoldsForbidden(style, entries, p))
                return false;
            if (kind == TValidate::Size) return IsCovered(style, entries, p);
            // Replacing a file destroys it: that needs the right to delete.
            if (kind == TValidate::Put && ftp::FileExists(p) &&
                !HasRight(style, entries, p, config::kRightErase))
                return false;
            return HasRight(style, entries, p, letter);
        });

    switch (kind) {
    case TValidate::Size:
        // An empty path names no file: the reply is the not-found one.
        filePath = ok ? path : std::string();
        return;
    case TValidate::RnTo:
        allowed = ok;
        filePath = path;
        Pending(client, "sRFile", FOwner.FileSegment(client.RenameFrom) + " - " + FOwner.FileSegment(path));
        return;
    default:
        break;
    }
    allowed = ok;
    if (!ok) return;
    filePath = path;
    if (kind == TValidate::Get) client.DownloadFlag = true;
    if (kind == TValidate::Put) client.UploadFlag = true;
    if (kind == TValidate::Dele) Pending(client, "sFDel", FOwner.FileSegment(path));
    if (kind == TValidate::Rmd) Pending(client, "sRepDel", FOwner.FileSegment(path));
}

void TPathPolicy::BuildDirectory(TAppClient& client, std::string& directory, bool detailed) {
    const TRules rules = Rules(client);
    const ftp::TPathStyle& style = rules.Style;
    // A listing is neither a download nor an upload, whatever a transfer
    // command that was refused after its validation left marked.
    client.DownloadFlag = false;
    client.UploadFlag = false;
    const std::string arg = ftp::WithoutListOptions(directory);
    // An argument from the root is a path of its own, not a name in the
    // current directory.
    std::string raw = arg.empty() ? client.Directory : arg[0] == style.Sep ? arg : client.Directory + arg;
    std::string local = rules.Virtual ? RerootUnderHome(style, rules.Home, raw) : CollapseDots(style, raw);
    if (arg.empty() || local.back() == style.Sep) {
        local = WithTrailingSep(style, local) + "*.*";
    } else if (NamePart(style, local).find_first_of("*?") == std::string::npos) {
        // A folder named without a trailing separator (a virtual link
        // included) lists its contents, as clients expect of a folder.
        const std::string asDir = CollapseDots(style, WithTrailingSep(style, local));
        if (ftp::DirectoryExists(MapVirtualLink(style, rules.Entries, asDir, rules.Home)))
            local = asDir + "*.*";
    }

    TListingRequest request;
    request.Pattern = MapVirtualLink(style, rules.Entries, local, rules.Home);
    request.Detailed = detailed;
    // The links belong to the listing of the home itself, not to every
    // listing asked for while the session stands there.
    request.AtHome = SamePath(style, DirectoryPart(style, local), rules.Home);
    request.CurrentYear = ftp::CurrentYear();
    request.Machine = client.MachineListing;
    request.Facts = client.MlstFacts;
    request.Permissions = [&](const std::string& p, bool dir) {
        return FactPermissions(style, rules.Entries, p, dir);
    };
    std::string text = BuildClientListing(style, rules.Entries, request, [&](const std::string& p) {
        return Passes(rules, p, [&](const std::vector<config::TAccessEntry>& entries, const std::string& q) {
            for (const config::TAccessEntry& e : entries)
                if (PathWithin(style, e.Directory, q)) return !IsAccessForbidden(style, entries, q);
            return false;
        });
    });

    // Marks the stream as a listing, released when the transfer ends.
    client.UserData = 99;
    auto stream = std::make_unique<ftp::TMemoryStream>(std::move(text));
    stream->Seek(0);
    client.DataStream = std::move(stream);
    client.HasOpenedFile = true;
}

std::string TPathPolicy::LocalPath(const TAppClient& client, const std::string& path) const {
    return Mapped(Rules(client), path);
}

void TPathPolicy::Permissions(TAppClient& client, const std::string& path, bool directory,
                              std::string& perm) {
    const TRules rules = Rules(client);
    perm = FactPermissions(rules.Style, rules.Entries, path, directory);
}

void TPathPolicy::RewriteAnswer(TAppClient& client, std::string& answer) {
    if (client.UserName.empty() || client.FtpState != ftp::ftpcReady) return;
    const bool virtualDir =
        FOwner.AccountFile().Account(client.UserName).ReadBool(config::TAccountKey::VirtualDir);
    answer = ClientReply(FOwner.PathStyle(), client.HomeDir, virtualDir, answer);
}

} // namespace vendrix::policy
