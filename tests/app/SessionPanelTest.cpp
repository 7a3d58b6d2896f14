// The information panel's texts, from the facts of a session.
#include <gtest/gtest.h>

#include "SessionPanel.h"

using namespace vendrix::app;

namespace {

std::string Key(std::string_view key) {
    return std::string(key);
}

TEST(SessionPanelTest, Formats) {
    EXPECT_EQ(PanelDuration(0), "00:00:00 Min");
    EXPECT_EQ(PanelDuration(3661), "01:01:01 Min");
    EXPECT_EQ(PanelDuration(25 * 3600 + 59), "01:00:59 Min"); // hours modulo 24
    EXPECT_EQ(PanelNumber(0), "0");
    EXPECT_EQ(PanelNumber(999), "999");
    EXPECT_EQ(PanelNumber(1000), "1 000");
    EXPECT_EQ(PanelNumber(123456789012), "123 456 789 012");
    EXPECT_EQ(PanelSpeed(0), "0 K/s");
    EXPECT_EQ(PanelSpeed(100.5), "100.50 K/s");
    EXPECT_EQ(PanelSpeed(12345.678), "12,346.00 K/s");
    EXPECT_EQ(PanelSpeed(1.23456), "1.23 K/s");
    EXPECT_EQ(TotalSpeedText(0), "0 K/s");
    EXPECT_EQ(TotalSpeedText(102.4), "102.4 K/s");
}

TEST(SessionPanelTest, IdleSession) {
    TSessionFacts f;
    f.PeerAddr = "127.0.0.1";
    f.SessionStartTick = 1000;
    f.LastCommandTick = 61000;
    f.FilePath = "/srv/old.txt"; // the last command's file: no transfer runs
    f.SessionDownloadKB = 1234;
    f.TotalUploadKB = 7;
    TSessionPanel p = DescribeSession(f, 3662000, Key);
    EXPECT_EQ(p.Host, "127.0.0.1");
    EXPECT_EQ(p.Connected, "01:01:01 Min");
    EXPECT_EQ(p.Idle, "01:00:01 Min");
    EXPECT_EQ(p.File, "sNoFile");
    EXPECT_EQ(p.Status, "sNoTrans");
    EXPECT_EQ(p.Speed, "0 K/s");
    EXPECT_EQ(p.TransferTime, "00:00:00 Min");
    EXPECT_EQ(p.TimeLeft, "00:00:00 Min");
    EXPECT_EQ(p.Transferred + "/" + p.Size, "0/0");
    EXPECT_EQ(p.Progress, 0);
    EXPECT_EQ(p.SessionDownload, "1 234K");
    EXPECT_EQ(p.TotalUpload, "7K");
    EXPECT_EQ(EmptySessionPanel(Key).Status, "sNoTrans");
    EXPECT_EQ(p.Encryption, "FTP");
    EXPECT_EQ(EmptySessionPanel(Key).Encryption, "FTP");
}

TEST(SessionPanelTest, Encryption) {
    using vendrix::policy::TSessionSecurity;
    const struct {
        TSessionSecurity Security;
        const char* Text;
    } cases[] = {
        {{}, "FTP"},
        {{false, false, "", "", true}, "FTP"},
        {{true, false, "TLSv1.3", "TLS_AES_256_GCM_SHA384", true},
         "FTPS: TLSv1.3, TLS_AES_256_GCM_SHA384, PROT P"},
        {{true, true, "TLSv1.2", "ECDHE-ECDSA-AES128-GCM-SHA256", false},
         "FTPS: TLSv1.2, ECDHE-ECDSA-AES128-GCM-SHA256, PROT C"},
    };
    for (const auto& c : cases) {
        TSessionFacts f;
        f.Security = c.Security;
        EXPECT_EQ(DescribeSession(f, 0, Key).Encryption, c.Text);
        EXPECT_EQ(EncryptionText(c.Security), c.Text);
    }
}

TEST(SessionPanelTest, Transfers) {
    TSessionFacts down;
    down.Download = true;
    down.FilePath = "/srv/big.iso";
    down.XferStartTick = 10999; // second 10
    down.ByteCount = 4 * 1024 * 1024;
    down.FileSize = 10 * 1024 * 1024;

    // The transfer fields of the panel, in this order.
    struct Transfer {
        std::string File, Transferred, Size, TransferTime, TimeLeft, Speed;
        int Progress;
        std::string Status;
    };
    struct Case {
        const char* name;
        TSessionFacts facts;
        uint64_t now;
        Transfer expected;
    };
    TSessionFacts resumed = down;
    resumed.RestartPos = 2 * 1024 * 1024;
    TSessionFacts up;
    up.Upload = true;
    up.FilePath = "/srv/in.bin";
    up.XferStartTick = 5000;
    up.Received = 20480;
    up.RestartPos = 100;
    const Case cases[] = {
        // 4 MiB in 4 whole seconds; 6 MiB left at 1 MiB/s.
        {"download",
         down,
         14000,
         {"/srv/big.iso", "4 194 304", "10 485 760", "00:00:04 Min", "00:00:06 Min", "1,024.00 K/s", 40,
          "sDown"}},
        // Within the first second nothing can be computed.
        {"first second",
         down,
         10999,
         {"/srv/big.iso", "4 194 304", "10 485 760", "00:00:00 Min", "00:00:00 Min", "0 K/s", 40, "sDown"}},
        // A resumed download counts only the bytes moved in this transfer.
        {"resumed",
         resumed,
         14000,
         {"/srv/big.iso", "4 194 304", "10 485 760", "00:00:04 Min", "00:00:06 Min", "512.00 K/s", 40,
          "sDown"}},
        {"upload",
         up,
         7000,
         {"/srv/in.bin", "20 580", "0", "00:00:02 Min", "00:00:00 Min", "10.00 K/s", 0, "sUP"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSessionPanel p = DescribeSession(c.facts, c.now, Key);
        EXPECT_EQ(p.File, c.expected.File);
        EXPECT_EQ(p.Transferred, c.expected.Transferred);
        EXPECT_EQ(p.Size, c.expected.Size);
        EXPECT_EQ(p.TransferTime, c.expected.TransferTime);
        EXPECT_EQ(p.TimeLeft, c.expected.TimeLeft);
        EXPECT_EQ(p.Speed, c.expected.Speed);
        EXPECT_EQ(p.Progress, c.expected.Progress);
        EXPECT_EQ(p.Status, c.expected.Status);
    }
}

} // namespace
