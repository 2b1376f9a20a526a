#include "start_mode.h"

#include <gtest/gtest.h>

namespace karvel::server {
namespace {

struct ModeCase {
    QStringList arguments; // after the program name
    StartMode expected;
};

class StartModeTest : public ::testing::TestWithParam<ModeCase> { };

TEST_P(StartModeTest, ReadsTheSwitch)
{
    const ModeCase& c = GetParam();
    EXPECT_EQ(parseStartMode(QStringList {QStringLiteral("KarvelC")} + c.arguments), c.expected)
        << c.arguments.join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Switches, StartModeTest,
    ::testing::Values(
        ModeCase {{}, StartMode::User}, ModeCase {{"/REGSERVER"}, StartMode::RegServer},
        ModeCase {{"-regserver"}, StartMode::RegServer},
        ModeCase {{"/RegServer"}, StartMode::RegServer},
        ModeCase {{"/UnRegServer"}, StartMode::UnregServer},
        ModeCase {{"-UNREGSERVER"}, StartMode::UnregServer},
        ModeCase {{"-Embedding"}, StartMode::Automation},
        ModeCase {{"/automation"}, StartMode::Automation},
        ModeCase {{"-platform", "offscreen", "/EMBEDDING"}, StartMode::Automation},
        // Not switches: no introducer, a doubled one, or a longer word.
        ModeCase {{"regserver"}, StartMode::User}, ModeCase {{"--regserver"}, StartMode::User},
        ModeCase {{"/regservers"}, StartMode::User}, ModeCase {{"\\regserver"}, StartMode::User},
        ModeCase {{"/"}, StartMode::User},
        // Registration wins over a bus start, registering over removing.
        ModeCase {{"-Embedding", "/regserver"}, StartMode::RegServer},
        ModeCase {{"/unregserver", "-automation"}, StartMode::UnregServer},
        ModeCase {{"/unregserver", "/regserver"}, StartMode::RegServer}));

TEST(StartModeTest, IgnoresTheProgramName)
{
    EXPECT_EQ(parseStartMode({QStringLiteral("/regserver")}), StartMode::User);
}

} // namespace
} // namespace karvel::server
