#include "TransferPolicy.h"

#include "FtpController.h"

namespace vendrix::policy {

void TTransferPolicy::StorSessionConnected(TAppClient&, net::TWSocket&, uint16_t) {}

void TTransferPolicy::StorDataAvailable(TAppClient&, net::TWSocket&, const char*, int, uint16_t) {}

void TTransferPolicy::StorSessionClosed(TAppClient&, net::TWSocket&, uint16_t) {}

void TTransferPolicy::RetrSessionConnected(TAppClient&, net::TWSocket&, uint16_t) {}

void TTransferPolicy::RetrDataSent(TAppClient& client, net::TWSocket& data, uint16_t) {
    // Until the limiter paces downloads, every block follows the last at once.
    FOwner.Server().SendNextDataBlock(client, data);
}

void TTransferPolicy::RetrSessionClosed(TAppClient&, net::TWSocket&, uint16_t) {}

void TTransferPolicy::DecorateAnswer(TAppClient&, std::string&) {}

} // namespace vendrix::policy
