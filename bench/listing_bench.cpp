// Builds the detailed listing of a folder of 10,000 empty files (made in a
// scratch folder, removed at the end) 50 times and prints the median time of
// the folder's look-up (FindEntries) and of the formatting: the server's own
// share of a LIST, without the network.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "FtpListing.h"
#include "ProcessSetup.h"

using namespace vendrix::ftp;

namespace {
constexpr int kFiles = 10000;
constexpr int kRounds = 50;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main() {
    // The allocator as the servers set it up: a listing's memory is kept.
    vendrix::app::SetUpProcess();
    char tmpl[] = "/tmp/vendrix-listing-bench-XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const std::string dir = std::string(tmpl) + "/";
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file-%05d.dat", i);
        ::close(::open((dir + name).c_str(), O_CREAT | O_WRONLY, 0644));
    }
    std::vector<double> find, format;
    size_t bytes = 0;
    const int year = CurrentYear();
    for (int r = 0; r < kRounds; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        std::vector<TListEntry> entries = FindEntries(dir + "*.*");
        auto t1 = std::chrono::steady_clock::now();
        bytes = FormatListing(entries, dir, true, year).size();
        auto t2 = std::chrono::steady_clock::now();
        find.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        format.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::printf("%d files, %zu bytes of listing: look-up %.2f ms, formatting %.2f ms (medians of %d)\n",
                kFiles, bytes, Median(find), Median(format), kRounds);
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file-%05d.dat", i);
        ::unlink((dir + name).c_str());
    }
    ::rmdir(tmpl);
    return 0;
}
