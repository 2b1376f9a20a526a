#pragma once
// The registry editor's export text ("Windows Registry Editor Version 5.00"), as the
// per-user store file keeps it. Keys map to settings paths without the hive:
// [HKEY_CURRENT_USER\Software\Vistam\Karvel_net\Line1] "NetNum1" is
// "Software/Vistam/Karvel_net/Line1/NetNum1". Strings are QString, dwords are qint32.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace karvel {

using TRegMap = QMap<QString, QVariant>;

struct TRegParse {
    TRegMap values;
    QStringList order; // value paths in the order they stand in the text
    int errorLine = 0; // 1-based line of the first fault, 0 when the text is sound
    QString error;
    bool ok() const { return errorLine == 0; }
};

// Reads UTF-8 (with or without a byte-order mark) or UTF-16LE with a byte-order mark.
TRegParse ParseRegText(const QByteArray& bytes);

// `rank` orders the values: sections by the smallest rank of their values, values in a
// section by their own rank. Returns false (and leaves `out` alone) when a value has a
// type the text cannot hold or a string holds a line break or NUL.
bool WriteRegText(const TRegMap& values, const std::function<int(const QString&)>& rank,
                  QByteArray& out);

} // namespace karvel
