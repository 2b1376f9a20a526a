#include "memo_line.h"

#include <gtest/gtest.h>

namespace karvel::server {
namespace {

const QDateTime kWhen(QDate(2016, 3, 5), QTime(9, 30, 5));

CountCall wheat()
{
    CountCall call;
    call.line = 2;
    call.netNum = 5;
    call.product = QStringLiteral("Пшеница");
    call.countC = 12345000;
    call.countD = 123500;
    return call;
}

TEST(MemoLineTest, RussianLocaleWritesTheExampleLine)
{
    EXPECT_EQ(memoLine(wheat(), kWhen, QLocale(QStringLiteral("ru_RU"))),
              QStringLiteral("05.03.2016 09:30:05  Линия 2; Продукт: Пшеница Сетевой номер:5;  "
                             "С:1234,5;  D:12,35"));
}

TEST(MemoLineTest, DateTimeIsShortDateAndLongTimeWithoutZone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"ru_RU", "05.03.2016 09:30:05"},
        {"en_US", "3/5/16 9:30:05 AM"},
        {"de_DE", "05.03.16 09:30:05"},
    };
    for (const auto& [locale, expected] : cases) {
        EXPECT_EQ(dateTimeText(kWhen, QLocale(QString::fromUtf8(locale))),
                  QString::fromUtf8(expected))
            << locale;
    }
}

TEST(MemoLineTest, DecimalSeparatorFollowsTheLocale)
{
    const QString line = memoLine(wheat(), kWhen, QLocale(QStringLiteral("en_US")));
    EXPECT_TRUE(line.endsWith(QStringLiteral(";  С:1234.5;  D:12.35"))) << line.toStdString();
}

TEST(MemoLineTest, PiecesAreJoinedWithNothingBetween)
{
    const QLocale ru(QStringLiteral("ru_RU"));
    CountCall call = wheat();
    call.product.clear();
    call.netNum = 255;
    call.line = 4;
    call.countC = 120000;
    call.countD = -1;
    EXPECT_EQ(memoLine(call, kWhen, ru),
              QStringLiteral("05.03.2016 09:30:05  Линия 4; Продукт:  Сетевой номер:255;  "
                             "С:12;  D:-0,0001"));
}

} // namespace
} // namespace karvel::server
