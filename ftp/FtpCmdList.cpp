// Directory listings: LIST and NLST. The listing is built completely in
// memory and then sent like a downloaded file.
#include "FtpSrv.h"

#include "FtpListing.h"

#include <cctype>

namespace vendrix::ftp {

namespace {
// Clients send "LIST -a" or "LIST -la dir" as a matter of course; read as a
// path, the option would turn their listing into a not-found line. Leading
// option words ("-" and letters) are dropped before the rest is a path.
std::string WithoutOptions(const std::string& params) {
    size_t i = 0;
    for (;;) {
        size_t j = i;
        if (j >= params.size() || params[j] != '-') break;
        ++j;
        while (j < params.size() && std::isalpha(static_cast<unsigned char>(params[j])))
            ++j;
        if (j == i + 1 || (j < params.size() && params[j] != ' ')) break;
        while (j < params.size() && params[j] == ' ')
            ++j;
        i = j;
    }
    return params.substr(i);
}
} // namespace

void TFtpServer::CommandLIST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.MachineListing = false;
    ListCommand(Client, Params, Answer, true);
}

void TFtpServer::CommandNLST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.MachineListing = false;
    ListCommand(Client, Params, Answer, false);
}

void TFtpServer::ListCommand(TClient& Client, TFtpString& Params, TFtpString& Answer, bool detailed) {
    // A transfer whose data connection is up still reads or writes its
    // stream: replacing that stream would pour the listing into the running
    // download, or the upload into the listing.
    if (Client.DataSessionActive) {
        Answer = reply::ListFailed("Data connection already in use");
        return;
    }
    Client.CurCmdType = detailed ? ftpcLIST : ftpcNLST;
    try {
        Client.DataStream.reset();
        Client.HasOpenedFile = false;
        TFtpString directory = PathStyle->ToLocal(WithoutOptions(Params));
        if (OnBuildDirectory) OnBuildDirectory(*this, Client, directory, detailed);
        if (!Client.DataStream) {
            const int currentYear = CurrentYear();
            std::string pattern = directory.empty() ? Client.Directory + "*.*"
                                                    : BuildFilePath(Client, Client.Directory, directory);
            if (!pattern.empty() && pattern.back() == PathStyle->Sep) pattern += "*.*";
            auto stream = std::make_unique<TMemoryStream>();
            if (Client.MachineListing)
                stream->Write(MachineListing(Client, pattern));
            else
                stream->Write(FormatListing(FindEntries(pattern), pattern, detailed, currentYear));
            Client.DataStream = std::move(stream);
            Client.HasOpenedFile = true;
            if (OnAlterDirectory) OnAlterDirectory(*this, Client, directory, detailed);
            if (Client.DataStream) Client.DataStream->Seek(0);
        }
        Client.FilePath.clear();
        Answer = reply::kOpeningListing;
        StartDownload(Client);
    } catch (const std::exception& e) {
        if (!Client.DataSessionActive) {
            Client.DataStream.reset();
            Client.HasOpenedFile = false;
        }
        Answer = reply::ListFailed(e.what());
    }
}

} // namespace vendrix::ftp
