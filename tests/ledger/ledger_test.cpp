// The ledger on a real SQLite file in a temporary folder.

#include "ledger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace karvel {
namespace {

namespace fs = std::filesystem;
using S = ledger::TDeliveryState;

class LedgerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
            ("ledger-test-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / ledger::kFileName).string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    static TLedgerChange Change(int line, int netNum, const std::string& product, double c,
                                double d)
    {
        TLedgerChange change;
        change.bookedAtMs = 1'700'000'000'000;
        change.utcOffsetS = 3 * 3600;
        change.line = line;
        change.netNum = netNum;
        change.product = product;
        change.countC = c;
        change.countD = d;
        return change;
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(LedgerTest, AppendGivesIdsAndWaitingRowsPerSinkThatSurviveAReopen)
{
    int64_t first = 0;
    {
        TLedger ledger;
        ASSERT_TRUE(ledger.Open(path_, "station-a")) << ledger.LastError();
        ledger.SetSinks({ledger::kSinkDbus, ledger::kSinkMqtt});
        for (int i = 0; i < 3; ++i) {
            TLedgerChange change = Change(2, 5 + i, "Пшеница", 100.0 + i, 12.35);
            ASSERT_TRUE(ledger.Append(change)) << ledger.LastError();
            if (i == 0)
                first = change.seq;
            EXPECT_EQ(change.changeId, "station-a:" + std::to_string(change.seq));
        }
        ASSERT_TRUE(ledger.MarkDelivered(first, ledger::kSinkDbus));
    }
    TLedger ledger;
    ASSERT_TRUE(ledger.Open(path_, "station-a"));
    EXPECT_EQ(ledger.Db().QueryInt("PRAGMA user_version"), ledger::kSchemaVersion);
    EXPECT_EQ(ledger.Db().QueryInt("PRAGMA synchronous"), 2); // FULL
    const auto dbus = ledger.Waiting(ledger::kSinkDbus, 0, 10);
    ASSERT_EQ(dbus.size(), 2u);
    EXPECT_EQ(dbus[0].change.seq, first + 1);
    EXPECT_EQ(dbus[0].change.product, "Пшеница");
    EXPECT_EQ(dbus[0].change.netNum, 6);
    EXPECT_DOUBLE_EQ(dbus[0].change.countD, 12.35);
    EXPECT_EQ(ledger.Waiting(ledger::kSinkMqtt, 0, 10).size(), 3u);
    EXPECT_EQ(ledger.Waiting(ledger::kSinkMqtt, first, 1).front().change.seq, first + 1);
    EXPECT_EQ(ledger.CountInState(ledger::kSinkDbus, S::Delivered), 1);
}

TEST_F(LedgerTest, SetAsideSendAgainAndDiscardKeepTheRowAndItsError)
{
    TLedger ledger;
    ASSERT_TRUE(ledger.Open(path_, "st"));
    ledger.SetSinks({ledger::kSinkDbus});
    TLedgerChange a = Change(1, 1, "A", 1, 1), b = Change(1, 2, "B", 2, 2);
    ASSERT_TRUE(ledger.Append(a) && ledger.Append(b));

    ASSERT_TRUE(ledger.MarkAttempt(a.seq, ledger::kSinkDbus, "NoReply"));
    ASSERT_TRUE(ledger.SetAside(a.seq, ledger::kSinkDbus, "InvalidArgs"));
    EXPECT_FALSE(ledger.MarkDelivered(a.seq, ledger::kSinkDbus)); // only waiting rows
    auto aside = ledger.SetAsideList(ledger::kSinkDbus);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside[0].attempts, 2);
    EXPECT_EQ(aside[0].lastError, "InvalidArgs");
    EXPECT_EQ(ledger.Waiting(ledger::kSinkDbus, 0, 10).front().change.seq, b.seq);

    ASSERT_TRUE(ledger.SendAgain(a.seq, ledger::kSinkDbus));
    EXPECT_EQ(ledger.Waiting(ledger::kSinkDbus, 0, 10).front().change.seq, a.seq);
    EXPECT_FALSE(ledger.Discard(a.seq, ledger::kSinkDbus)); // a waiting change is not discarded
    ASSERT_TRUE(ledger.SetAside(a.seq, ledger::kSinkDbus, "InvalidArgs"));
    ASSERT_TRUE(ledger.Discard(a.seq, ledger::kSinkDbus));
    EXPECT_EQ(ledger.CountInState(ledger::kSinkDbus, S::Discarded), 1);
    EXPECT_EQ(ledger.Db().QueryInt("SELECT COUNT(*) FROM changes"), 2);
}

TEST_F(LedgerTest, ALedgerMadeAnewNeverGivesAnEarlierId)
{
    int64_t last = 0;
    {
        TLedger ledger;
        ASSERT_TRUE(ledger.Open(path_, "st"));
        for (int i = 0; i < 5; ++i) {
            TLedgerChange change = Change(1, 1, "A", i, 1);
            ASSERT_TRUE(ledger.Append(change));
            last = change.seq;
        }
    }
    fs::remove(path_);
    TLedger ledger;
    ASSERT_TRUE(ledger.Open(path_, "st"));
    TLedgerChange change = Change(1, 1, "A", 1, 1);
    ASSERT_TRUE(ledger.Append(change));
    EXPECT_GT(change.seq, last);
}

TEST_F(LedgerTest, AFileOfANewerProgramIsRefusedWithAReason)
{
    {
        TSqliteDb db;
        ASSERT_TRUE(db.Open(path_));
        ASSERT_TRUE(db.Exec("PRAGMA user_version=99"));
    }
    TLedger ledger;
    EXPECT_FALSE(ledger.Open(path_, "st"));
    EXPECT_NE(ledger.LastError().find("newer"), std::string::npos) << ledger.LastError();
}

TEST_F(LedgerTest, AFileThatIsNoDatabaseIsRefused)
{
    {
        FILE* f = std::fopen(path_.c_str(), "wb");
        std::fputs("this is not a ledger, just text long enough to be a header......", f);
        std::fclose(f);
    }
    TLedger ledger;
    EXPECT_FALSE(ledger.Open(path_, "st"));
    EXPECT_FALSE(ledger.LastError().empty());
}

} // namespace
} // namespace karvel
