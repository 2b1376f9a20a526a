// The store file's text and the typed read rules, on a real file in a temporary
// XDG_CONFIG_HOME.
#include "config_store.h"
#include "reg_text.h"
#include "step_error.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "qstring_print.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace karvel {
namespace {

const QByteArray kExample =
    QStringLiteral("Windows Registry Editor Version 5.00\n"
                   "\n"
                   "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Control]\n"
                   "\"Name\"=\"KarvelC.DataControlServ\"\n"
                   "\"Password\"=\"a\\\\b\\\"c\"\n"
                   "\n"
                   "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Line1]\n"
                   "\"TerminalType\"=dword:00000000\n"
                   "\"NetNum1\"=dword:00000005\n"
                   "\"NameP1\"=\"Пшеница\"\n")
        .toUtf8();

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void ExpectExampleValues(const TRegParse& p)
{
    ASSERT_TRUE(p.ok()) << p.errorLine << " " << p.error.toStdString();
    EXPECT_EQ(p.values.value("Software/Vistam/Karvel_net/Control/Name"),
              QVariant(QStringLiteral("KarvelC.DataControlServ")));
    EXPECT_EQ(p.values.value("Software/Vistam/Karvel_net/Control/Password").toString(),
              QStringLiteral("a\\b\"c"));
    const QVariant net = p.values.value("Software/Vistam/Karvel_net/Line1/NetNum1");
    EXPECT_EQ(net.typeId(), QMetaType::Int);
    EXPECT_EQ(net.toInt(), 5);
    EXPECT_EQ(p.values.value("Software/Vistam/Karvel_net/Line1/NameP1").toString(),
              QStringLiteral("Пшеница"));
    EXPECT_EQ(p.order.first(), QStringLiteral("Software/Vistam/Karvel_net/Control/Name"));
    EXPECT_EQ(p.order.size(), 5);
}

TEST(RegText, ReadsUtf8AndUtf16WithByteOrderMark)
{
    ExpectExampleValues(ParseRegText(kExample));
    ExpectExampleValues(ParseRegText("\xEF\xBB\xBF" + kExample));
    QStringEncoder toUtf16(QStringEncoder::Utf16LE);
    QByteArray crlf = kExample;
    crlf.replace("\n", "\r\n");
    ExpectExampleValues(ParseRegText("\xFF\xFE" + QByteArray(toUtf16(QString::fromUtf8(crlf)))));
}

TEST(RegText, DwordsAreSigned32BitIntegers)
{
    const TRegParse p =
        ParseRegText("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:ffffffff\n\"b\"=dword:7\n");
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.values.value("K/a").toInt(), -1);
    EXPECT_EQ(p.values.value("K/b").toInt(), 7);
}

TEST(RegText, FaultsNameTheirLine)
{
    const QByteArray head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n";
    struct Case {
        QByteArray text;
        int line;
    } cases[] = {
        {"REGEDIT5\n", 1},
        {"\n\nnonsense\n", 3},
        {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", 2},
        {head + "\"a\"=dword:123456789\n", 4},
        {head + "\"a\"=dword:xyz\n", 4},
        {head + "\"ok\"=\"1\"\n\"a\"=\"open\n", 5},
        {head + "\"a\"=hex:01,02\n", 4},
        {head + "\"a\"=\"b\" tail\n", 4},
        {head + "a=\"b\"\n", 4},
        {head + "[broken\n", 4},
        {head + "\"a\"=\"\xC0\xC1\"\n", 4},
    };
    for (const Case& c : cases) {
        const TRegParse p = ParseRegText(c.text);
        EXPECT_EQ(p.errorLine, c.line) << c.text.toStdString();
        EXPECT_FALSE(p.error.isEmpty());
    }
}

TEST(RegText, WritesSectionsAndValuesInRankOrder)
{
    TRegMap values {
        {"S/A/z", QStringLiteral("q\"\\")}, {"S/A/a", 1}, {"S/B/m", true}, {"S/B/n", -1}};
    const QStringList rank {"S/B/m", "S/A/z", "S/A/a", "S/B/n"};
    QByteArray out;
    ASSERT_TRUE(WriteRegText(
        values, [&](const QString& k) { return static_cast<int>(rank.indexOf(k)); }, out));
    EXPECT_EQ(out,
              QByteArray("Windows Registry Editor Version 5.00\n\n"
                         "[HKEY_CURRENT_USER\\S\\B]\n\"m\"=dword:00000001\n\"n\"=dword:ffffffff\n\n"
                         "[HKEY_CURRENT_USER\\S\\A]\n\"z\"=\"q\\\"\\\\\"\n\"a\"=dword:00000001\n"));
    EXPECT_EQ(ParseRegText(out).values.value("S/A/z").toString(), QStringLiteral("q\"\\"));
}

TEST(RegText, RefusesWhatTheTextCannotHold)
{
    QByteArray out = "untouched";
    auto rank = [](const QString&) { return 0; };
    EXPECT_FALSE(WriteRegText({{"S/a", QStringLiteral("two\nlines")}}, rank, out));
    EXPECT_FALSE(WriteRegText({{"S/a", 1.5}}, rank, out));
    EXPECT_FALSE(WriteRegText({{"S/a", qlonglong(1) << 40}}, rank, out));
    EXPECT_EQ(out, QByteArray("untouched"));
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
        path_ = TConfigStore::DefaultPath();
    }
    QTemporaryDir dir_;
    QString path_;
};

TEST_F(StoreTest, DefaultPathFollowsXdgConfigHome)
{
    EXPECT_EQ(path_, dir_.path() + QStringLiteral("/Vistam/Karvel_net.reg"));
}

TEST_F(StoreTest, ReadRulesOfTheRegistry)
{
    WriteAll(path_,
             "Windows Registry Editor Version "
             "5.00\n\n[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Line2]\n"
             "\"NetNum1\"=\"5\"\n\"NetNum2\"=dword:00000002\n\"NameP1\"=dword:00000001\n\"NameP2\"="
             "\"\"\n");
    TConfigStore store(path_);
    const QString key = QStringLiteral("Software\\Vistam\\Karvel_net\\Line2");
    EXPECT_TRUE(store.KeyExists(key));
    EXPECT_FALSE(store.KeyExists(QStringLiteral("Software\\Vistam\\Karvel_net\\Line3")));
    EXPECT_EQ(store.ReadString(key, "Missing"), QString());
    EXPECT_EQ(store.ReadString(key, "NameP2"), QString());
    EXPECT_EQ(store.ReadInteger(key, "NetNum2"), 2);
    EXPECT_TRUE(store.ReadBool(key, "NetNum2")); // any non-zero integer
    struct Case {
        std::function<void()> read;
        QString name;
    } faults[] = {
        {[&] { store.ReadInteger(key, "NetNum1"); },
         "NetNum1"}, // a string where an integer belongs
        {[&] { store.ReadInteger(key, "NetNum9"); }, "NetNum9"}, // missing
        {[&] { store.ReadBool(key, "TerminalType"); }, "TerminalType"},
        {[&] { store.ReadString(key, "NameP1"); }, "NameP1"}, // an integer where a string belongs
    };
    for (const Case& c : faults) {
        try {
            c.read();
            ADD_FAILURE() << "no error for " << c.name.toStdString();
        } catch (const TStepError& e) {
            EXPECT_TRUE(e.text().contains(c.name)) << e.text().toStdString();
            EXPECT_TRUE(e.text().contains(key)) << e.text().toStdString();
        }
    }
}

TEST_F(StoreTest, WritesOwnerOnlyAndReplacesTheFileWhole)
{
    {
        TConfigStore store(path_);
        store.WriteString("Software\\Vistam\\Karvel_net\\Control", "Name", QStringLiteral("Ёлка"));
        store.WriteBool("Software\\Vistam\\Karvel_net\\Control", "Flag", true);
        store.Flush();
    }
    struct stat first { };
    ASSERT_EQ(::stat(QFile::encodeName(path_).constData(), &first), 0);
    EXPECT_EQ(first.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadAll(path_),
              QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Control]\n"
                             "\"Name\"=\"Ёлка\"\n\"Flag\"=dword:00000001\n")
                  .toUtf8());
    {
        TConfigStore store(path_);
        EXPECT_EQ(store.ReadString("Software\\Vistam\\Karvel_net\\Control", "Name"),
                  QStringLiteral("Ёлка"));
        store.WriteInteger("Software\\Vistam\\Karvel_net\\Control", "Flag", 0);
        store.Flush();
    }
    struct stat second { };
    ASSERT_EQ(::stat(QFile::encodeName(path_).constData(), &second), 0);
    EXPECT_NE(first.st_ino, second.st_ino) << "rewritten in place, not replaced";
    EXPECT_EQ(second.st_mode & 0777, 0600u);
}

TEST_F(StoreTest, KeepsTheOrderOfADroppedInExport)
{
    QByteArray text = kExample;
    text.replace("\n", "\r\n");
    QStringEncoder toUtf16(QStringEncoder::Utf16LE);
    WriteAll(path_, "\xFF\xFE" + QByteArray(toUtf16(QString::fromUtf8(text))));
    {
        TConfigStore store(path_);
        store.WriteInteger("Software\\Vistam\\Karvel_net\\Line1", "NetNum1", 6);
        store.Flush();
    }
    QByteArray expected = kExample;
    expected.replace("dword:00000005", "dword:00000006");
    EXPECT_EQ(ReadAll(path_), expected);
}

TEST_F(StoreTest, AFileThatCannotBeParsedIsAnErrorWithItsLine)
{
    const QByteArray broken =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:zz\n";
    WriteAll(path_, broken);
    try {
        TConfigStore store(path_);
        ADD_FAILURE() << "no error";
    } catch (const TStepError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("строка 4"))) << e.text().toStdString();
    }
    EXPECT_EQ(ReadAll(path_), broken);
}

TEST_F(StoreTest, AFileSpoiledWhileOpenIsNotWrittenOver)
{
    {
        TConfigStore store(path_);
        store.WriteInteger("Software\\K", "a", 1);
        store.Flush();
    }
    TConfigStore store(path_);
    const QByteArray spoiled =
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:1 2\n";
    WriteAll(path_, spoiled);
    store.WriteInteger("Software\\K", "a", 2);
    EXPECT_THROW(store.Flush(), TStepError);
    EXPECT_EQ(ReadAll(path_), spoiled);
    EXPECT_THROW(TConfigStore {path_}, TStepError); // served from the cache or not
}

} // namespace
} // namespace karvel
