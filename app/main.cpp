// Karvel_Net: supervision of the portion weighers of up to four lines and accounting of
// the product that passes through them.
#include "core_options.h"
#include "main_window.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

const char* kHelp =
    "Karvel_Net - supervision and accounting of portion weighers\n"
    "\n"
    "Polls the weighing terminals of up to four RS-485 lines, shows each line in its own\n"
    "window and forwards every booked change of a terminal's total weight to the accounting\n"
    "server named in the configuration (by default the test server KarvelC).\n"
    "\n"
    "Usage: Karvel_Net [options]\n"
    "  --program-dir DIR      folder of log.txt, bdl.txt and the accounting journal\n"
    "                         (default: the folder of the program)\n"
    "  --account-timeout MS   longest wait for one accounting call (default 3000)\n"
    "  --account-retry MS     how often changes kept in the journal are offered again\n"
    "                         (default 5000)\n"
    "  --help                 this text\n"
    "\n"
    "The configuration is kept in $XDG_CONFIG_HOME/Vistam/Karvel_net.reg (default\n"
    "~/.config/Vistam/Karvel_net.reg); serial port COMn is the link\n"
    "$XDG_CONFIG_HOME/Vistam/dosdevices/comN when it exists, else /dev/ttyS<n-1>.\n";

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
    karvel::TForm1 mainWindow(karvel::CoreOptionsFromArguments(QApplication::arguments()));
    mainWindow.show();
    mainWindow.CreateWindows();
    return QApplication::exec();
}
