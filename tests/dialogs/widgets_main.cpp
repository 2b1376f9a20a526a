// Window tests run with one application object for the whole run (offscreen platform).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Karvel_Net"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
