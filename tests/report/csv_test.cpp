// The CSV export: field texts, and a whole export read back with Python's csv module.
#include "csv_export.h"
#include "known_ledger.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace karvel;
using namespace karvel::report;
using namespace karvel::report::testing;

namespace {

const TReportPeriod kEverything {Utc("2000-01-01T00:00:00Z"), Utc("2100-01-01T00:00:00Z")};

TEST(CsvFields, NumbersReadBackExactlyWithADecimalPoint)
{
    const std::vector<std::pair<double, const char*>> cases = {{0, "0"},
                                                               {-0.0, "0"},
                                                               {0.1, "0.1"},
                                                               {1234.5, "1234.5"},
                                                               {-3, "-3"},
                                                               {0.125, "0.125"},
                                                               {1e-7, "0.0000001"},
                                                               {123456789012.25, "123456789012.25"},
                                                               {33.25, "33.25"},
                                                               {2.0 / 3, "0.6666666666666666"}};
    for (const auto& [value, text] : cases) {
        std::string out;
        AppendNumber(out, value);
        EXPECT_EQ(out, text) << value;
        EXPECT_EQ(std::stod(out), value) << text;
    }
}

TEST(CsvFields, QuotedOnlyWhenTheyMustBe)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Пшеница", "Пшеница"},
        {"", ""},
        {"a;b", "\"a;b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"=1+1", "=1+1"}};
    for (const auto& [text, written] : cases) {
        std::string out;
        AppendCsvField(out, text);
        EXPECT_EQ(out, written) << text;
    }
}

TEST(CsvFields, LocalTimeFromTheStoredOffset)
{
    const std::vector<std::tuple<int64_t, int, const char*>> cases = {
        {0, 0, "1970-01-01 00:00:00"},
        {Utc("2026-03-29T00:59:59.999Z"), 3600, "2026-03-29 01:59:59"},
        {Utc("2026-03-29T01:00:00Z"), 7200, "2026-03-29 03:00:00"},
        {Utc("2026-10-25T00:30:00Z"), 7200, "2026-10-25 02:30:00"},
        {Utc("2026-10-25T01:30:00Z"), 3600, "2026-10-25 02:30:00"},
        {Utc("2028-02-29T23:00:00Z"), 10800, "2028-03-01 02:00:00"},
        {Utc("1969-12-31T23:59:59.500Z"), 0, "1969-12-31 23:59:59"},
        {Utc("2026-01-01T02:00:00Z"), -5 * 3600, "2025-12-31 21:00:00"}};
    for (const auto& [ms, offset, text] : cases) {
        std::string out;
        AppendLocalTime(out, ms, offset);
        EXPECT_EQ(out, text) << ms;
    }
}

class CsvExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ledger_ = dir_.filePath(QStringLiteral("ledger.db")).toStdString();
        ASSERT_TRUE(WriteKnownLedger(ledger_, &appended_));
    }

    // The file as Python's csv module reads it: {"bom": ..., "rows": [...]}.
    QJsonObject ReadWithPython(const QString& path)
    {
        QProcess python;
        python.start(QStringLiteral("python3"), {QStringLiteral(KARVEL_CSV_READER), path});
        EXPECT_TRUE(python.waitForFinished(30000));
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    }

    QTemporaryDir dir_;
    std::string ledger_;
    std::vector<TLedgerChange> appended_;
};

TEST_F(CsvExport, RoundTripsThroughPythonsCsvModule)
{
    const QString file = dir_.filePath(QStringLiteral("all.csv"));
    const TCsvResult result = ExportCsvFile(ledger_, kEverything, file.toStdString());
    ASSERT_TRUE(result.ok) << result.error;
    const std::vector<TRow> changes = KnownChanges();
    EXPECT_EQ(result.rows, static_cast<int64_t>(changes.size()));

    const QJsonObject read = ReadWithPython(file);
    EXPECT_TRUE(read[QStringLiteral("bom")].toBool());
    const QJsonArray rows = read[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(changes.size() + 1));
    const QJsonArray header = rows[0].toArray();
    QStringList names;
    for (const auto& name : header)
        names << name.toString();
    EXPECT_EQ(names.join(QLatin1Char(';')),
              QStringLiteral("seq;change_id;booked_at_local;booked_at_ms;utc_offset_s;line;"
                             "net_num;product;count_c;count_d;dbus_state;dbus_attempts;"
                             "dbus_last_error;dbus_updated_at_ms;mqtt_state;mqtt_attempts;"
                             "mqtt_last_error;mqtt_updated_at_ms"));
    auto column = [&](const QJsonArray& row, const char* name) {
        return row[names.indexOf(QString::fromLatin1(name))].toString();
    };
    // The known changes are in time order, as the export writes them.
    for (size_t i = 0; i < changes.size(); ++i) {
        const QJsonArray row = rows[static_cast<qsizetype>(i + 1)].toArray();
        ASSERT_EQ(row.size(), header.size()) << i;
        const TRow& change = changes[i];
        EXPECT_EQ(column(row, "seq").toLongLong(), appended_[i].seq) << i;
        EXPECT_EQ(column(row, "change_id").toStdString(), appended_[i].changeId) << i;
        EXPECT_EQ(column(row, "booked_at_ms").toLongLong(), change.bookedAtMs) << i;
        EXPECT_EQ(column(row, "utc_offset_s").toInt(), change.utcOffsetS) << i;
        EXPECT_EQ(column(row, "line").toInt(), change.line) << i;
        EXPECT_EQ(column(row, "net_num").toInt(), change.netNum) << i;
        EXPECT_EQ(column(row, "product").toStdString(), change.product) << i;
        EXPECT_EQ(column(row, "count_c").toDouble(), change.countC) << i;
        EXPECT_EQ(column(row, "count_d").toDouble(), change.countD) << i;
        EXPECT_EQ(column(row, "dbus_state"),
                  change.state < 0 ? QString() : QString::number(change.state))
            << i;
        EXPECT_TRUE(column(row, "mqtt_state").isEmpty()) << i;
    }
    // The two half past twos of the autumn night: one local text, two offsets.
    EXPECT_EQ(column(rows[14].toArray(), "booked_at_local"), QStringLiteral("2026-10-25 02:30:00"));
    EXPECT_EQ(column(rows[15].toArray(), "booked_at_local"), QStringLiteral("2026-10-25 02:30:00"));
    EXPECT_EQ(column(rows[14].toArray(), "utc_offset_s"), QStringLiteral("7200"));
    EXPECT_EQ(column(rows[15].toArray(), "utc_offset_s"), QStringLiteral("3600"));
}

TEST_F(CsvExport, LinesEndInCrLfAndThePeriodIsHalfOpen)
{
    const QString file = dir_.filePath(QStringLiteral("night.csv"));
    // The 11-hour night of the spring change: six changes, the one at 08:00 not among them.
    const TReportPeriod night {Berlin("2026-03-28 20:00:00"), Berlin("2026-03-29 08:00:00")};
    const TCsvResult result = ExportCsvFile(ledger_, night, file.toStdString());
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.rows, 6);
    QFile read(file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray bytes = read.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBFseq;"));
    EXPECT_EQ(bytes.count("\r\n"), 7);
    EXPECT_EQ(bytes.count('\n'), 7);
}

TEST_F(CsvExport, AFailedExportLeavesNoFileAndKeepsAnOldOne)
{
    const QString missingDir = dir_.filePath(QStringLiteral("no/such/dir/x.csv"));
    TCsvResult result = ExportCsvFile(ledger_, kEverything, missingDir.toStdString());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("no/such/dir"), std::string::npos) << result.error;

    const QString old = dir_.filePath(QStringLiteral("old.csv"));
    {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("yesterday's export");
    }
    result = ExportCsvFile(dir_.filePath(QStringLiteral("missing.db")).toStdString(), kEverything,
                           old.toStdString());
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("yesterday's export"));
    EXPECT_EQ(QDir(dir_.path()).entryList({QStringLiteral("old.csv.*")}, QDir::Files).size(), 0);
}

TEST_F(CsvExport, ACancelledExportIsNotOk)
{
    std::atomic<bool> cancel {true};
    // The whole export fits one chunk, so only a write of more than one chunk sees the
    // flag; a big ledger is made for it.
    {
        TLedgerRows more(ledger_);
        TRow row = KnownChanges()[0];
        row.product = std::string(200, 'x');
        for (int i = 0; i < 2000; ++i)
            ASSERT_TRUE(more.Add(row));
        ASSERT_TRUE(more.Commit());
    }
    const QString file = dir_.filePath(QStringLiteral("cancelled.csv"));
    const TCsvResult result = ExportCsvFile(ledger_, kEverything, file.toStdString(), &cancel);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(QFile::exists(file));
}

} // namespace
