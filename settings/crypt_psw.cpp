#include "crypt_psw.h"

namespace karvel {

QString CryptPsw(const QString& oper_psw)
{
    QString copy = oper_psw;
    for (QChar& unit : copy)
        unit = QChar(static_cast<char16_t>(unit.unicode() ^ kPasswordMask));
    return copy;
}

} // namespace karvel
