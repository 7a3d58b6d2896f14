// The limiter's two timers against real sessions: download pacing under the
// account's and the server's caps, the uncapped fast path, the idle time-out
// and the published speeds. The limiter's clock is the test's: speeds and
// idle times move only when the test moves it.
#include "TransferFixture.h"

using namespace vendrix::config;
using namespace vendrix::log;
using namespace vendrix::policy;
using namespace vendrix::policy::testing;

namespace {

class SpeedLimit : public TTransferFixture {
protected:
    // Pumps the loop for `ms` of real time; the timers keep ticking.
    void PumpFor(int ms) {
        PumpUntil([] { return false; }, ms);
    }
    struct TDownload {
        std::unique_ptr<TFtpClient> Control;
        std::unique_ptr<TRawConn> Data;
        size_t Received = 0;
        // Reads what has arrived, without waiting.
        size_t Poll() {
            Data->ReadUntil([](std::string& in) { return !in.empty(); }, 0);
            Received += Data->Take().size();
            return Received;
        }
    };
    TDownload StartRetr(const std::string& name) {
        TDownload d;
        d.Control = LoggedIn();
        d.Data = d.Control->Pasv();
        EXPECT_EQ(d.Control->Cmd("RETR " + name), "150 Opening data connection for " + name + ".");
        return d;
    }
    // Pumps until the data stop flowing for 150 ms; returns the bytes sent.
    int64_t SettledBytes(TAppClient& session) {
        int64_t last = -1;
        while (session.ByteCount != last) {
            last = session.ByteCount;
            PumpFor(150);
        }
        return last;
    }
};

TEST_F(SpeedLimit, ACappedDownloadStaysWithinItsCap) {
    struct TCase {
        std::string account, setup;
        int64_t low, high; // bytes after one second, in blocks of 2048
    } cases[] = {
        // Released while the average is below 10 K/s: stops at exactly 10 K.
        {"MaxSpeed=10", "", 10240, 10240},
        // The total is the one measured at the tick before: one block more at most.
        {"", "GlobalMaxKS=10", 10240, 12288},
    };
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.account + t.setup);
        WriteUsers(t.account);
        WriteConfig(t.setup);
        Start();
        WriteFile("big.bin", 200 * 1024);
        TDownload d = StartRetr("big.bin");
        ASSERT_TRUE(PumpUntil([&] { return Ctl->Users().size() == 1 && Session().ByteCount > 0; }));
        TAppClient& s = Session();
        EXPECT_EQ(s.XferBlockSize, s.RcvSize());
        // During the first second nothing holds the download back; one
        // second later its average is what it sent.
        Now += 1000;
        int64_t sent = SettledBytes(s);
        EXPECT_GE(sent, t.low);
        EXPECT_LE(sent, t.high);
        EXPECT_TRUE(PumpUntil([&] { return d.Poll() == size_t(sent); }));
        EXPECT_NEAR(Ctl->ClientSpeed(s.ID), double(sent) / 1024, 0.001);
        // A second later the average has halved: it runs up to the cap again.
        Now += 1000;
        sent = SettledBytes(s);
        EXPECT_GE(sent, 2 * t.low);
        EXPECT_LE(sent, 2 * t.high);
        d.Control.reset();
        d.Data.reset();
        Ctl->StopServer();
        ASSERT_TRUE(PumpUntil([&] { return Ctl->Users().empty(); }));
        Ctl.reset();
    }
}

TEST_F(SpeedLimit, OnlyTheTimerReleasesACappedDownloadWhileAnUncappedOneRunsAtOnce) {
    WriteUsers("MaxSpeed=1000");
    Start();
    WriteFile("big.bin", 1 << 20);
    Ctl->SpeedLimiter().Stop();
    TDownload capped = StartRetr("big.bin");
    PumpFor(200);
    EXPECT_EQ(Session().ByteCount, 2048); // the first block, then it waits
    Ctl->SpeedLimiter().Start();
    EXPECT_TRUE(PumpUntil([&] { return capped.Poll() == (1u << 20); }, 20000));
    EXPECT_EQ(capped.Control->Reply(), "226 Transfer complete.");

    // Without a cap the blocks are large and follow each other at once.
    WriteUsers("");
    Ctl->SpeedLimiter().Stop();
    capped.Control->Cmd("NOOP");
    TResult r = Retr(*capped.Control, "big.bin");
    EXPECT_EQ(r.Data.size(), 1u << 20);
    EXPECT_EQ(r.Final, "226 Transfer complete.");
    EXPECT_EQ(Session().XferBlockSize, Ctl->Server().XferBlockSize);
    EXPECT_EQ(Ctl->ClientSpeed(Session().ID), 0);
}

TEST_F(SpeedLimit, IdleTimeOutClosesAfterTheLimitNotAtIt) {
    struct TCase {
        std::string timeOut;
        uint64_t idleMs;
        bool closed;
    } cases[] = {
        {"Time-Out=1", 61000, true},
        {"Time-Out=1", 60000, false},
        {"Time-Out=0", 10 * 3600 * 1000, false},
    };
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.timeOut + " " + std::to_string(t.idleMs));
        WriteUsers(t.timeOut);
        Start();
        Ctl->SpeedLimiter().Stop(); // the test ticks itself
        auto c = LoggedIn();
        c->Cmd("NOOP");
        Ctl->SpeedLimiter().SetClock([&] { return Session().LastCommandTick + t.idleMs; });
        Ctl->SpeedLimiter().SecondTick();
        EXPECT_EQ(c->PeerClosed(300), t.closed);
        EXPECT_EQ(LogLine("sTimeOutDisc") != "", t.closed);
        if (t.closed) {
            EXPECT_NE(LogLine("] sTimeOutDisc(%s,%s,%s) ANNA"), "");
            EXPECT_TRUE(PumpUntil([&] { return Ctl->Users().empty(); }));
        } else {
            EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
        }
        c.reset();
        Ctl->StopServer();
        Ctl.reset();
        Lines.clear();
    }
}

TEST_F(SpeedLimit, TheFastTickRunsOnlyWhileADataConnectionMovesBytes) {
    WriteUsers("");
    Start();
    auto control = LoggedIn();
    PumpFor(20);
    EXPECT_FALSE(Ctl->SpeedLimiter().FastTickArmed()); // logged in, nothing moving
    WriteFile("f.bin", 256 * 1024);
    TResult r = Retr(*control, "f.bin");
    EXPECT_EQ(r.Final, "226 Transfer complete.");
    EXPECT_TRUE(PumpUntil([&] { return !Ctl->SpeedLimiter().FastTickArmed(); }));
    EXPECT_EQ(Ctl->ClientSpeed(Session().ID), 0);
    EXPECT_EQ(Ctl->SpeedLimiter().TotalSpeed(), 0);
    // The next transfer arms it again, and a capped one needs it to go on.
    control.reset();
    WriteUsers("MaxSpeed=100");
    TDownload capped = StartRetr("f.bin");
    EXPECT_TRUE(PumpUntil([&] { return Ctl->SpeedLimiter().FastTickArmed() && capped.Poll() > 4096; }));
}

TEST_F(SpeedLimit, ObserversHearEverySecondAndTheTotalSpeedIsPublished) {
    struct TCounter : TControllerObserver {
        int Seconds = 0;
        void SecondTick() override { ++Seconds; }
    } counter;
    WriteUsers("MaxSpeed=4");
    Start();
    Ctl->AddObserver(&counter);
    EXPECT_TRUE(PumpUntil([&] { return counter.Seconds >= 1; }, 3000));
    WriteFile("f.bin", 64 * 1024);
    TDownload d = StartRetr("f.bin");
    ASSERT_TRUE(PumpUntil([&] { return Ctl->Users().size() == 1 && Session().ByteCount > 0; }));
    Now += 1000;
    SettledBytes(Session());
    PumpFor(20);
    EXPECT_EQ(Ctl->SpeedLimiter().TotalSpeed(), 4);
    EXPECT_EQ(Ctl->SpeedLimiter().TotalSpeedText(), "4 K/s");
    Ctl->RemoveObserver(&counter);
}

} // namespace
