#pragma once
// The scrambling of the administrator password in the store: every 16-bit code unit is
// xor-ed with one fixed digit, so the same routine scrambles and unscrambles.

#include <QString>

namespace karvel {

constexpr char16_t kPasswordMask = 7;

QString CryptPsw(const QString& oper_psw);

} // namespace karvel
