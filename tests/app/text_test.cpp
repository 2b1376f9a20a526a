// Code page, password scrambling, state lists, date-time text and the lines of the log.
#include "cp1251.h"
#include "crypt_psw.h"
#include "date_time_text.h"
#include "main_core.h"
#include "state_lists.h"
#include "work_log_lines.h"

#include "qstring_print.h"

#include <gtest/gtest.h>

#include <iconv.h>

namespace karvel {
namespace {

TEST(Cp1251, EveryByteAgreesWithTheSystemConverter)
{
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "the C library has no CP1251 converter";
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char out[8] = {};
        char* inPtr = &in;
        char* outPtr = out;
        size_t inLeft = 1, outLeft = sizeof out;
        const bool known = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
        const QString ours = FromCp1251(QByteArray(1, in));
        if (known) {
            EXPECT_EQ(ours, QString::fromUtf8(out, outPtr - out)) << "byte " << b;
            EXPECT_EQ(ToCp1251(ours), QByteArray(1, in)) << "byte " << b;
        } else {
            EXPECT_EQ(ours, QString(QChar(0xFFFD))) << "byte " << b;
        }
    }
    iconv_close(cd);
}

TEST(Cp1251, RussianTextAndUnmappableCharacters)
{
    EXPECT_EQ(ToCp1251(QStringLiteral("Пшеница №5 ё")),
              QByteArray("\xCF\xF8\xE5\xED\xE8\xF6\xE0 \xB9"
                         "5 \xB8"));
    EXPECT_EQ(ToCp1251(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
    EXPECT_EQ(ToCp1251(QStringLiteral("1\u202F2")),
              QByteArray("1\xA0"
                         "2"));
}

TEST(CryptPsw, IsItsOwnInverseAndKeepsTheLength)
{
    for (const QString& text :
         {QString(), QStringLiteral("90876590876590876"), QStringLiteral("Пароль-ёЁ"),
          QStringLiteral("x\\\"[%"), QStringLiteral("\U0001F600")}) {
        const QString scrambled = CryptPsw(text);
        EXPECT_EQ(scrambled.size(), text.size());
        EXPECT_EQ(CryptPsw(scrambled), text);
        if (!text.isEmpty()) {
            EXPECT_NE(scrambled, text);
        }
    }
    EXPECT_EQ(CryptPsw(QStringLiteral("90")), QStringLiteral(">7"));
    EXPECT_TRUE(kPasswordMask >= 1 && kPasswordMask <= 9);
}

TEST(StateLists, AddDropFindAndText)
{
    TStateLists lists;
    lists.AddPin(1, 5);
    lists.AddPin(3, 12);
    lists.AddPin(1, 2);
    lists.AddPin(1, 5); // already listed
    lists.AddPin(2, 5); // same number, other line
    EXPECT_EQ(lists.FindPin(1, 5), 0);
    EXPECT_EQ(lists.FindPin(1, 2), 1);
    EXPECT_EQ(lists.FindPin(4, 5), -1);
    EXPECT_EQ(lists.ShowData(),
              (QStringList {QStringLiteral("Линия 1  Весы 5 - отсутствует связь!"),
                            QStringLiteral("Линия 1  Весы 2 - отсутствует связь!"),
                            QStringLiteral("Линия 2  Весы 5 - отсутствует связь!"),
                            QStringLiteral("Линия 3  Весы 12 - отсутствует связь!")}));
    lists.DropPin(1, 77); // not listed: no change
    EXPECT_EQ(lists.ShowData().size(), 4);
    lists.DropPin(1, 5);
    EXPECT_EQ(lists.FindPin(1, 2), 0);
    lists.DropPin(1, 2);
    lists.DropPin(2, 5);
    lists.DropPin(3, 12);
    EXPECT_TRUE(lists.ShowData().isEmpty());
}

TEST(DateTimeText, ShortDateBlankLongTimeWithoutZone)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QDateTime when(QDate(2026, 3, 7), QTime(9, 5, 4));
    EXPECT_EQ(DateTimeText(when, ru), QStringLiteral("07.03.2026 09:05:04"));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(DateTimeText(when, us), QStringLiteral("3/7/26 9:05:04 AM")); // no time zone
}

TEST(DateTimeText, MidnightGivesTheDateOnly)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(DateTimeText(QDateTime(QDate(2026, 3, 7), QTime(0, 0)), ru),
              QStringLiteral("07.03.2026"));
    EXPECT_NE(DateTimeText(QDateTime(QDate(2026, 3, 7), QTime(0, 0, 1)), ru),
              QStringLiteral("07.03.2026"));
}

TEST(LogLines, FormatsInTheCodePage)
{
    const QString d = QStringLiteral("07.03.2026 9:05:04");
    struct Case {
        QString line;
        QByteArray bytes;
    } cases[] = {
        {LogStartLine(d), "07.03.2026 9:05:04  -  \xD1\xF2\xE0\xF0\xF2"},
        {LogStopLine(d), "07.03.2026 9:05:04  -  \xD1\xF2\xEE\xEF"},
        {LogLinkLostLine(d, 2, 5),
         "07.03.2026 9:05:04 \xCB\xE8\xED\xE8\xFF 2, \xC2\xE5\xF1\xFB  5  -  "
         "\xCF\xEE\xF2\xE5\xF0\xFF \xF1\xE2\xFF\xE7\xE8"},
        {LogLinkBackLine(d, 4, 200),
         "07.03.2026 9:05:04 \xCB\xE8\xED\xE8\xFF 4, \xC2\xE5\xF1\xFB  200  -  "
         "\xC2\xEE\xE7\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5 \xF1\xE2\xFF\xE7\xE8"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToCp1251(c.line), c.bytes) << c.line.toStdString();
}

TEST(StatusText, CounterChange)
{
    EXPECT_EQ(TMainCore::CountStatusText(QStringLiteral("Пшеница"), 12, QStringLiteral("1234.50"),
                                         QStringLiteral("10.25")),
              QStringLiteral("Весы: Пшеница; № 12; C: 1234.50; d: 10.25"));
}

} // namespace
} // namespace karvel
