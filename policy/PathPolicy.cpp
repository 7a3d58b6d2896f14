#include "PathPolicy.h"

#include "FtpController.h"
#include "FtpSrvT.h"

namespace vendrix::policy {

void TPathPolicy::ChangeDirectory(TAppClient& client, std::string& directory, bool& allowed, bool& dirExist) {
    dirExist = ftp::DirectoryExists(client.Directory);
    allowed = true;
    directory = client.Directory;
}

void TPathPolicy::MakeDirectory(TAppClient&, std::string&, bool&) {}

void TPathPolicy::BuildDirectory(TAppClient&, std::string&, bool) {}

void TPathPolicy::Validate(TValidate, TAppClient&, std::string&, bool&) {}

void TPathPolicy::RewriteAnswer(TAppClient&, std::string&) {}

} // namespace vendrix::policy
