#include "registration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace karvel::server {
namespace {

QProcessEnvironment env(std::initializer_list<std::pair<const char*, const char*>> vars)
{
    QProcessEnvironment e;
    for (const auto& [name, value] : vars)
        e.insert(QString::fromUtf8(name), QString::fromUtf8(value));
    return e;
}

TEST(RegistrationTest, ServiceDirFollowsXdgDataHome)
{
    EXPECT_EQ(sessionServiceDir(env({{"XDG_DATA_HOME", "/srv/data"}, {"HOME", "/home/op"}})),
              QStringLiteral("/srv/data/dbus-1/services"));
    EXPECT_EQ(sessionServiceDir(env({{"HOME", "/home/op"}})),
              QStringLiteral("/home/op/.local/share/dbus-1/services"));
    EXPECT_EQ(sessionServiceDir(env({{"XDG_DATA_HOME", ""}, {"HOME", "/home/op"}})),
              QStringLiteral("/home/op/.local/share/dbus-1/services"));
    // A relative value is invalid and ignored.
    EXPECT_EQ(sessionServiceDir(env({{"XDG_DATA_HOME", "data"}, {"HOME", "/home/op"}})),
              QStringLiteral("/home/op/.local/share/dbus-1/services"));
}

TEST(RegistrationTest, ServiceFileStartsTheServerForTheBus)
{
    EXPECT_EQ(serviceFileText(QStringLiteral("KarvelC.DataControlServ"),
                              QStringLiteral("/opt/karvel/bin/KarvelC")),
              QStringLiteral("[D-BUS Service]\n"
                             "Name=KarvelC.DataControlServ\n"
                             "Exec=/opt/karvel/bin/KarvelC -Embedding\n"));
}

TEST(RegistrationTest, BackslashesOfTheQuotingAreEscapedForTheFile)
{
    EXPECT_TRUE(serviceFileText(QStringLiteral("KarvelC.DataControlServ"),
                                QStringLiteral("/opt/it's/KarvelC"))
                    .endsWith(QStringLiteral("Exec='/opt/it'\\\\''s/KarvelC' -Embedding\n")));
}

TEST(RegistrationTest, ExecWordIsQuotedOnlyWhenNeeded)
{
    const std::pair<QString, QString> cases[] = {
        {"/usr/bin/KarvelC", "/usr/bin/KarvelC"},
        {"/opt/my dir/KarvelC", "'/opt/my dir/KarvelC'"},
        {"/opt/it's/KarvelC", "'/opt/it'\\''s/KarvelC'"},
        {"/opt/$HOME/K", "'/opt/$HOME/K'"},
        {"/opt/Весы/K", "'/opt/Весы/K'"},
    };
    for (const auto& [word, quoted] : cases)
        EXPECT_EQ(quoteExecWord(word), quoted) << word.toStdString();
}

TEST(RegistrationTest, WriteCreatesTheDirectoryAndRemoveDeletesTheFile)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString dir = tmp.filePath(QStringLiteral("data/dbus-1/services"));
    const QString id = QStringLiteral("KarvelC.DataControlServ");
    const QString file = dir + QStringLiteral("/KarvelC.DataControlServ.service");

    const auto error = writeServiceFile(dir, id, QStringLiteral("/x/KarvelC"));
    ASSERT_FALSE(error) << error->toStdString();
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()),
              serviceFileText(id, QStringLiteral("/x/KarvelC")));
    written.close();

    // Writing again replaces the file (a moved program is registered anew).
    ASSERT_FALSE(writeServiceFile(dir, id, QStringLiteral("/y/KarvelC")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("Exec=/y/KarvelC -Embedding"));
    written.close();

    ASSERT_FALSE(removeServiceFile(dir, id));
    EXPECT_FALSE(QFileInfo::exists(file));
    // Removing what is not there is fine.
    EXPECT_FALSE(removeServiceFile(dir, id));
}

TEST(RegistrationTest, FailuresAreReported)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    // A plain file where the directory should be.
    QFile blocker(tmp.filePath(QStringLiteral("dbus-1")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto noDirectory =
        writeServiceFile(tmp.filePath(QStringLiteral("dbus-1/services")),
                         QStringLiteral("KarvelC.DataControlServ"), QStringLiteral("/x/KarvelC"));
    ASSERT_TRUE(noDirectory.has_value());
    EXPECT_FALSE(noDirectory->isEmpty());

    const auto lineBreak = writeServiceFile(tmp.path(), QStringLiteral("KarvelC.DataControlServ"),
                                            QStringLiteral("/x/Karvel\nC"));
    ASSERT_TRUE(lineBreak.has_value());
    EXPECT_FALSE(lineBreak->isEmpty());

    // Something that is not a file cannot be removed: said, not passed over.
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("KarvelC.DataControlServ.service/x")));
    const auto notAFile = removeServiceFile(tmp.path(), QStringLiteral("KarvelC.DataControlServ"));
    ASSERT_TRUE(notAFile.has_value());
    EXPECT_FALSE(notAFile->isEmpty());
}

} // namespace
} // namespace karvel::server
