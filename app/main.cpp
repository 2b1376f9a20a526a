// Karvel_Net: supervision of the portion weighers of up to four lines and accounting of
// the product that passes through them.
#include "core_options.h"
#include "main_window.h"

#include <QApplication>
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

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
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
