// Tests that use timers or the bus need one application object for the whole run.
#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class TQtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "karvel_app_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new TQtApplication);

} // namespace
