// The bytes of a control connection: assembled into lines by the session's
// line reader (Telnet sequences, NUL, bare CR and LF, overlong lines) and
// every line dispatched. Every reply must stay one reply.
#include "FuzzSession.h"
#include "LineBuffer.h"

#include <algorithm>

using namespace vendrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::TFuzzSession world;
    auto client = world.NewSession(false);
    ftp::TLineBuffer lines(2048);
    const char* bytes = reinterpret_cast<const char*>(data);
    // Pieces of 1460 bytes, as a segment brings them.
    std::string line;
    for (size_t done = 0; done < size;) {
        int n = lines.Append(bytes + done, int(std::min<size_t>(size - done, 1460)));
        done += size_t(n);
        while (lines.NextLine(line))
            world.Server.ClientCommand(*client, line);
        if (n == 0 && lines.WriteSpace() == 0) std::abort(); // a full buffer must give a line
    }
    while (lines.NextLine(line))
        world.Server.ClientCommand(*client, line);
    world.Settle();
    client.reset();
    world.Close();
    world.Settle();
    world.CheckListener();
    return 0;
}
