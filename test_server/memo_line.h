#pragma once

#include "currency.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace karvel::server {

// One accounting call as the server received it, after conversion.
struct CountCall {
    int line = 1; // 1..4, the digit in the method name
    quint8 netNum = 0; // the terminal's network number
    QString product;
    Currency countC = 0; // total weight
    Currency countD = 0; // last portion
};

// The locale's short date, a blank and its long time (hours, minutes, seconds) without
// a time zone.
QString dateTimeText(const QDateTime& when, const QLocale& locale);

// The memo line for one call, e.g.
// "05.03.2016 09:30:05  Линия 2; Продукт: Пшеница Сетевой номер:5;  С:1234,5;  D:12,35"
QString memoLine(const CountCall& call, const QDateTime& when, const QLocale& locale);

} // namespace karvel::server
