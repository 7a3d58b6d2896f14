// Reads one key of an unchanged account file 1,000,000 times, the way the
// 5 ms speed-limit timer does for every logged-in session, and prints how
// long it took. Reads go through the parsed copy, which checks the file on
// disk (one stat) once per millisecond; for comparison, the same reads from
// one snapshot.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include "AccountFile.h"
#include "IniFile.h"

using namespace vendrix::config;

namespace {

constexpr int kReads = 1000000;

template <typename TRead> double Seconds(TRead read, long long& sum) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kReads; ++i)
        sum += read(i);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Print(const char* what, double seconds) {
    std::printf("%-44s %8.3f s  (%6.0f ns per read)\n", what, seconds, seconds * 1e9 / kReads);
}

} // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "vendrix-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) return 1;
    std::string path = folder + "/users.ini";
    {
        std::ofstream out(path);
        for (int a = 0; a < 200; ++a) {
            out << "[user" << a << "]\nPassword=900150983CD24FB0D6963F7D28E17F72\nHomePath=/srv/ftp/user" << a
                << "/\nTime-Out=5\nMaxUser=2\nMaxUserIP=1\nMaxSpeed=" << a << "\nVirtualDir=1\n"
                << "Dir0=/srv/ftp/|DU_EMRY_S__|\nDir1=/srv/pub/|D_______SV_|pub\n"
                << "TotalDownload=123456\nTotalUpload=654321\n\n";
        }
    }
    // A file saved a while ago: the stat alone tells it has not changed.
    timespec old[2]{};
    clock_gettime(CLOCK_REALTIME, &old[0]);
    old[0].tv_sec -= 3600;
    old[1] = old[0];
    utimensat(AT_FDCWD, path.c_str(), old, 0);

    long long sum = 0;
    TIniFile file(path);
    Print("TIniFile::ReadInteger (file checked each ms)",
          Seconds([&](int) { return file.ReadInteger("USER150", "maxspeed", 0); }, sum));

    TAccountFile accounts(path);
    Print("TAccountFile::Account(name).ReadInteger",
          Seconds([&](int) { return accounts.Account("user150").ReadInteger(TAccountKey::MaxSpeed); }, sum));

    auto snapshot = file.Load();
    Print("one snapshot, TIniDocument::ReadInteger",
          Seconds([&](int) { return snapshot->ReadInteger("USER150", "maxspeed", 0); }, sum));

    std::printf("(checksum %lld)\n", sum);
    std::filesystem::remove_all(folder);
    return 0;
}
