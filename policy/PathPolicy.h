// Path mapping and access rights: confines each session to the directories
// of its account's access entries, checks the right each operation needs,
// maps virtual links, builds the listings clients see, re-roots paths for
// "VirtualDir" accounts and rewrites the paths replies show.
//
// Every check runs twice when symbolic links are involved: on the path as
// the client named it, and on the path the links really lead to, which must
// be covered by the account's entries (directories resolved the same way)
// and grant the same right. A link inside a confined folder therefore leads
// only where the account could go anyway.
#pragma once

#include "AccessEntry.h"
#include "PathRules.h"
#include "WSocket.h"

#include <functional>
#include <string>
#include <vector>

namespace vendrix::policy {

class TAppClient;
class TPolicyContext;

class TPathPolicy {
public:
    // Mfmt needs the upload right on the file's folder, Hash the download
    // right; neither counts as a transfer.
    enum class TValidate { Get, Put, Dele, Rmd, RnFr, RnTo, Size, Mfmt, Hash };

    explicit TPathPolicy(TPolicyContext& owner) : FOwner(owner) {}

    void ChangeDirectory(TAppClient& client, std::string& directory, bool& allowed, bool& dirExist);
    // Allowed and DirExist are one variable for MKD.
    void MakeDirectory(TAppClient& client, std::string& directory, bool& allowed);
    void BuildDirectory(TAppClient& client, std::string& directory, bool detailed);
    // SIZE and MDTM (both raise the Size event) are never refused here: a
    // path outside the account's entries becomes a path that names nothing,
    // so it is answered exactly like a missing file.
    void Validate(TValidate kind, TAppClient& client, std::string& filePath, bool& allowed);
    // The "perm" fact of a local path the engine lists or shows.
    void Permissions(TAppClient& client, const std::string& path, bool directory, std::string& perm);
    // Replies other than "221" and "226".
    void RewriteAnswer(TAppClient& client, std::string& answer);
    // Every reply: writes the log line of the action it answers, with the
    // outcome the reply code tells.
    void FinishAction(TAppClient& client, const std::string& answer);
    // The local path that the engine's `path` names for this session, as the
    // checks above see it: what the quota of an upload must be measured on.
    std::string LocalPath(const TAppClient& client, const std::string& path) const;

private:
    // The account as one event sees it (the account file is read afresh).
    struct TRules {
        const ftp::TPathStyle& Style;
        std::string Home;
        bool Virtual = false;
        std::vector<config::TAccessEntry> Entries;     // directories as written, normalised
        std::vector<config::TAccessEntry> RealEntries; // the same with links resolved
    };
    using TCheck =
        std::function<bool(const std::vector<config::TAccessEntry>& entries, const std::string& path)>;

    TRules Rules(const TAppClient& client) const;
    // The local path the engine's path names for this account: dots
    // collapsed, re-rooted under the home for "VirtualDir", links mapped.
    std::string Mapped(const TRules& rules, const std::string& path) const;
    // The check on the path and, when links lead elsewhere, on the real path.
    bool Passes(const TRules& rules, const std::string& path, const TCheck& check) const;
    void LogClient(const TAppClient& client, const std::string& key, const std::string& fileSegments);
    // Keeps an action's log line until its reply (FinishAction).
    static void Pending(TAppClient& client, const char* key, const std::string& fileSegments);

    TPolicyContext& FOwner;
};

} // namespace vendrix::policy
