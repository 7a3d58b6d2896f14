// PORT parameters, dispatched on a logged-in session.
#include "FuzzSession.h"

using namespace vendrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::TFuzzSession world;
    static auto client = world.NewSession(true);
    std::string params(reinterpret_cast<const char*>(data), size);
    world.Server.ClientCommand(*client, "PORT " + params);
    if (client->FtpState != ftp::ftpcReady) std::abort();
    // An accepted address is the client's own, on an unprivileged port.
    if (!client->DataAddr.empty() && (client->DataAddr != "127.0.0.1" || std::stol(client->DataPort) < 1024 ||
                                      std::stol(client->DataPort) > 65535))
        std::abort();
    return 0;
}
