// The simulator's command line.

#include "sim_options.h"

#include <gtest/gtest.h>

using namespace karvel::sim;

namespace {

TParsedOptions Parse(std::vector<std::string> args)
{
    return ParseOptions(args, "/cfg", "/home/u");
}

TEST(TSimOptions, TerminalsFromSpecsAndLists)
{
    const auto p =
        Parse({"--terminal", "5:KR200:Пшеница", "--terminal=6:kr-100:Ячмень:75.5:1", "--model",
               "KR100", "--terminals", "7,8", "--portion", "20", "--decimals", "3"});
    ASSERT_EQ(p.error, "");
    ASSERT_EQ(p.options.terminals.size(), 4u);
    const auto& t = p.options.terminals;
    EXPECT_EQ(t[0].net, 5);
    EXPECT_EQ(t[0].model, Model::KR200);
    EXPECT_EQ(t[0].product, "Пшеница");
    EXPECT_EQ(t[0].decimals, 3);
    EXPECT_EQ(t[0].portionRaw, 20000u);
    EXPECT_EQ(t[1].model, Model::KR100);
    EXPECT_EQ(t[1].decimals, 1);
    EXPECT_EQ(t[1].portionRaw, 755u);
    EXPECT_EQ(t[2].net, 7);
    EXPECT_EQ(t[2].model, Model::KR100);
    EXPECT_EQ(t[2].product, "Продукт 7");
    EXPECT_EQ(p.options.signalNets, std::vector<uint8_t> {5});
}

TEST(TSimOptions, PortTimingFaultsAndPaths)
{
    const auto p = Parse({"--terminals", "1,2",      "--com",       "3",   "--baud",        "9600",
                          "--delay-ms",  "20",       "--cycle-ms",  "400", "--seed",        "77",
                          "--drop",      "0.1",      "--corrupt",   "0.2", "--noise",       "0.3",
                          "--wrong-net", "0.4",      "--silent",    "2",   "--signal-nets", "1,2",
                          "--no-pace",   "--record", "~/rec.jsonl", "-v"});
    ASSERT_EQ(p.error, "");
    const TSimOptions& o = p.options;
    EXPECT_EQ(o.link, "/cfg/Vistam/dosdevices/com3");
    EXPECT_EQ(o.baud, 9600);
    EXPECT_EQ(o.delayMs, 20);
    EXPECT_EQ(o.cycleMs, 400);
    EXPECT_EQ(o.seed, 77u);
    EXPECT_DOUBLE_EQ(o.faults.drop, 0.1);
    EXPECT_DOUBLE_EQ(o.faults.wrongNet, 0.4);
    EXPECT_EQ(o.silent, std::vector<uint8_t> {2});
    EXPECT_EQ(o.signalNets, (std::vector<uint8_t> {1, 2}));
    EXPECT_EQ(o.pace, false);
    EXPECT_EQ(o.record, "/home/u/rec.jsonl");
    EXPECT_TRUE(o.verbose);
}

TEST(TSimOptions, BadCommandLinesSayWhy)
{
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{}, "no terminals"},
        {{"--terminal", "5:KR300:x"}, "model"},
        {{"--terminal", "0:KR200:x"}, "1..254"},
        {{"--terminal", "255:KR200:x"}, "1..254"},
        {{"--terminal", "5:KR200"}, "NET:MODEL:PRODUCT"},
        {{"--terminal", "5:KR200:x", "--terminal", "5:KR100:y"}, "twice"},
        {{"--terminal", "5:KR200:x:12.345"}, "decimals"},
        {{"--terminal", "5:KR200:x:10000"}, "six digits"},
        {{"--terminals", "1", "--baud", "14400"}, "--baud"},
        {{"--terminals", "1", "--drop", "1.5"}, "probability"},
        {{"--terminals", "1", "--silent", "4"}, "not a terminal"},
        {{"--terminals", "1", "--cycle-ms", "5"}, "--cycle-ms"},
        {{"--terminals", "1", "--frobnicate"}, "unknown option"},
        {{"--terminals", "1", "--seed"}, "needs a value"},
        {{"--terminals", "1", "--device", "/dev/ttyUSB0", "--com", "1"}, "--device"},
    };
    for (const auto& c : cases) {
        const auto p = Parse(c.args);
        EXPECT_NE(p.error.find(c.says), std::string::npos) << p.error;
    }
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_EQ(Parse({"--help"}).error, "");
}

TEST(TSimOptions, FixedTexts)
{
    EXPECT_EQ(ParseFixed("50", 2), 5000u);
    EXPECT_EQ(ParseFixed("0.5", 1), 5u);
    EXPECT_EQ(ParseFixed("7", 0), 7u);
    EXPECT_FALSE(ParseFixed("1.25", 1));
    EXPECT_FALSE(ParseFixed("1,5", 2));
    EXPECT_FALSE(ParseFixed("-1", 2));
    EXPECT_FALSE(ParseFixed("", 2));
    EXPECT_FALSE(ParseFixed("1.", 2));
}

} // namespace
