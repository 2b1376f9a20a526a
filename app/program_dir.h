#pragma once
// The program's directory, where "log.txt", "bdl.txt" and the ledger "ledger.db" live:
// the executable's directory unless "--program-dir DIR" was given.

#include <QString>
#include <QStringList>

namespace karvel {

QString ProgramDir(const QStringList& arguments);

} // namespace karvel
