// Karvel_Net: supervision of the portion weighers of up to four lines and accounting of
// the product that passes through them.
#include "core_options.h"
#include "csv_export.h"
#include "ledger_schema.h"
#include "main_window.h"
#include "program_dir.h"
#include "report_period.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* kHelp =
    "Karvel_Net - supervision and accounting of portion weighers\n"
    "\n"
    "Polls the weighing terminals of up to four RS-485 lines, shows each line in its own\n"
    "window and forwards every booked change of a terminal's total weight to the accounting\n"
    "server named in the configuration (by default the test server KarvelC).\n"
    "\n"
    "Usage: Karvel_Net [options]\n"
    "  --program-dir DIR      folder of log.txt, bdl.txt and the ledger ledger.db\n"
    "                         (default: the folder of the program)\n"
    "  --account-timeout MS   longest wait for one accounting call (default 3000)\n"
    "  --account-retry MS     first pause before waiting changes are offered again\n"
    "                         (default 5000; doubles after each failure, up to 30 s)\n"
    "  --export-csv FROM TO FILE\n"
    "                         writes the changes booked from FROM to TO into FILE as CSV\n"
    "                         (UTF-8, ';' separated) and ends, with no window. FROM and TO\n"
    "                         are ISO dates (2026-12-10, each a whole local day) or\n"
    "                         date-times (2026-12-10T08:00); FILE \"-\" is standard output\n"
    "  --help                 this text\n"
    "\n"
    "The configuration is kept in $XDG_CONFIG_HOME/Vistam/Karvel_net.reg (default\n"
    "~/.config/Vistam/Karvel_net.reg); serial port COMn is the link\n"
    "$XDG_CONFIG_HOME/Vistam/dosdevices/comN when it exists, else /dev/ttyS<n-1>.\n";

int signalPipe[2] = {-1, -1};

void OnTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

// A logout or a service manager ends the program like closing its main window: the ports
// close, the accounting object is released and the log gets its stop line.
void QuitOnTerminateSignals(QApplication& app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
    struct sigaction action { };
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// --export-csv: no display needed, nothing but the ledger is read. Silent on success,
// so that a nightly job only mails when something went wrong.
int ExportCsv(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    karvel::TExportCsvArguments request;
    QString error;
    if (!karvel::ExportCsvArgumentsFrom(arguments, request, error)) {
        std::fprintf(stderr, "Karvel_Net: %s\n", qPrintable(error));
        return 2;
    }
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime from = karvel::report::ParseIsoBound(request.from, false, zone);
    const QDateTime to = karvel::report::ParseIsoBound(request.to, true, zone);
    if (!from.isValid() || !to.isValid()) {
        std::fprintf(stderr, "Karvel_Net: %s: not an ISO date (2026-12-10) or date-time\n",
                     qPrintable(from.isValid() ? request.to : request.from));
        return 2;
    }
    if (to <= from) {
        std::fprintf(stderr, "Karvel_Net: %s is not after %s\n", qPrintable(request.to),
                     qPrintable(request.from));
        return 2;
    }
    const QString ledger = QDir(karvel::ProgramDir(arguments))
                               .filePath(QString::fromLatin1(karvel::ledger::kFileName));
    if (!QFileInfo::exists(ledger)) {
        std::fprintf(stderr, "Karvel_Net: %s: no ledger (nothing was booked yet)\n",
                     qPrintable(ledger));
        return 1;
    }
    const karvel::report::TCsvResult result = karvel::report::ExportCsvFile(
        ledger.toStdString(), {from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch()},
        request.file.toStdString());
    if (!result.ok) {
        std::fprintf(stderr, "Karvel_Net: export failed: %s\n", result.error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--export-csv")
            return ExportCsv(argc, argv);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Karvel_Net"));
    QApplication::setQuitOnLastWindowClosed(false); // only the main window ends the program
    QuitOnTerminateSignals(app);
    karvel::TForm1 mainWindow(karvel::CoreOptionsFromArguments(QApplication::arguments()));
    mainWindow.show();
    mainWindow.CreateWindows();
    return QApplication::exec();
}
