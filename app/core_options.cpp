#include "core_options.h"

#include "config_store.h"
#include "program_dir.h"

namespace karvel {

namespace {

int IntOption(const QStringList& args, const QString& name, int fallback)
{
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] != name)
            continue;
        bool ok = false;
        const int value = args[i + 1].toInt(&ok);
        return ok && value > 0 ? value : fallback;
    }
    return fallback;
}

} // namespace

TCoreOptions CoreOptionsFromArguments(const QStringList& arguments)
{
    TCoreOptions options;
    options.programDir = ProgramDir(arguments);
    options.storePath = TConfigStore::DefaultPath();
    options.callTimeoutMs =
        IntOption(arguments, QStringLiteral("--account-timeout"), options.callTimeoutMs);
    options.retryPeriodMs =
        IntOption(arguments, QStringLiteral("--account-retry"), options.retryPeriodMs);
    return options;
}

bool HasExportCsv(const QStringList& arguments)
{
    return arguments.indexOf(kExportCsvOption, 1) > 0;
}

bool ExportCsvArgumentsFrom(const QStringList& arguments, TExportCsvArguments& out, QString& error)
{
    const qsizetype at = arguments.indexOf(kExportCsvOption, 1);
    if (at < 1 || at + 3 >= arguments.size()) {
        error = kExportCsvOption + QStringLiteral(" needs FROM TO FILE");
        return false;
    }
    out = {arguments[at + 1], arguments[at + 2], arguments[at + 3]};
    return true;
}

} // namespace karvel
