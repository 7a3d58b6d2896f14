// Path mapping and access rights: confines each session to the directories
// of its account's access entries, checks the right each operation needs,
// maps virtual links, builds the listings clients see, re-roots paths for
// "VirtualDir" accounts and rewrites the paths replies show.
#pragma once

#include "WSocket.h"

#include <string>

namespace vendrix::policy {

class TFtpController;
class TAppClient;

class TPathPolicy {
public:
    enum class TValidate { Get, Put, Dele, Rmd, RnFr, RnTo, Size };

    explicit TPathPolicy(TFtpController& owner) : FOwner(owner) {}

    void ChangeDirectory(TAppClient& client, std::string& directory, bool& allowed, bool& dirExist);
    // Allowed and DirExist are one variable for MKD.
    void MakeDirectory(TAppClient& client, std::string& directory, bool& allowed);
    void BuildDirectory(TAppClient& client, std::string& directory, bool detailed);
    void Validate(TValidate kind, TAppClient& client, std::string& filePath, bool& allowed);
    // Replies other than "221" and "226".
    void RewriteAnswer(TAppClient& client, std::string& answer);

private:
    TFtpController& FOwner;
};

} // namespace vendrix::policy
