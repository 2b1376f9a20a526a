// The one main of the test programs: the Qt application object lives for the whole run,
// on the offscreen platform unless the caller chose another.
#ifdef KARVEL_TEST_WIDGETS
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QCoreApplication>
using TTestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    TTestApplication app(argc, argv);
#ifdef KARVEL_TEST_WIDGETS
    // Message boxes carry the program's name as their title, as in the program.
    TTestApplication::setApplicationName(QStringLiteral("Karvel_Net"));
#endif
    return RUN_ALL_TESTS();
}
