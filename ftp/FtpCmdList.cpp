// Directory listings: LIST and NLST. The listing is built completely in
// memory and then sent like a downloaded file.
#include "FtpSrv.h"

#include "FtpListing.h"

namespace vendrix::ftp {

void TFtpServer::CommandLIST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.MachineListing = false;
    ListCommand(Client, Params, Answer, true);
}

void TFtpServer::CommandNLST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.MachineListing = false;
    ListCommand(Client, Params, Answer, false);
}

void TFtpServer::ListCommand(TClient& Client, TFtpString& Params, TFtpString& Answer, bool detailed) {
    // A transfer that is running or waiting for its data connection still
    // owns the stream: replacing it would pour the listing into the running
    // download, or the upload into the listing, and leave a 150 reply
    // without its completion.
    if (Client.TransferBusy()) {
        Answer = reply::ListFailed("Data connection already in use");
        return;
    }
    Client.CurCmdType = detailed ? ftpcLIST : ftpcNLST;
    try {
        Client.DataStream.reset();
        Client.HasOpenedFile = false;
        TFtpString directory = PathStyle->ToLocal(WithoutListOptions(Params));
        if (OnBuildDirectory) OnBuildDirectory(*this, Client, directory, detailed);
        if (!Client.DataStream) {
            const int currentYear = CurrentYear();
            std::string pattern = directory.empty() ? Client.Directory + "*.*"
                                                    : BuildFilePath(Client, Client.Directory, directory);
            if (!pattern.empty() && pattern.back() == PathStyle->Sep) pattern += "*.*";
            Client.DataStream = std::make_unique<TMemoryStream>(
                Client.MachineListing ? MachineListing(Client, pattern)
                                      : FormatListing(FindEntries(pattern), pattern, detailed, currentYear));
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
