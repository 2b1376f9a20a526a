// KarvelC, the test accounting server: owns "KarvelC.DataControlServ" on the session bus
// and writes every accounting call it receives as a line in its window.

#include "automation_bus.h"
#include "close_warning.h"
#include "main_window.h"
#include "memo_log.h"
#include "object_registry.h"
#include "registration.h"
#include "server_lifetime.h"
#include "start_mode.h"
#include "type_library.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QProcessEnvironment>

#include <chrono>
#include <cstdio>

using namespace karvel::server;

namespace {

const QString kIdentifier = QLatin1StringView(kProgramIdentifier);

void complain(const QString& text)
{
    std::fprintf(stderr, "KarvelC: %s\n", qPrintable(text));
}

// "REGSERVER" / "UNREGSERVER": write or remove the activation file, then exit.
int runRegistration(StartMode mode)
{
    const QString dir = sessionServiceDir(QProcessEnvironment::systemEnvironment());
    const std::optional<QString> error = mode == StartMode::RegServer
        ? writeServiceFile(dir, kIdentifier, QCoreApplication::applicationFilePath())
        : removeServiceFile(dir, kIdentifier);
    if (error) {
        complain(QStringLiteral("registration failed: ") + *error);
        return 1;
    }
    return 0;
}

// How long a server the bus started waits for its first object; the environment may
// shorten it (tests) or lengthen it (a slow client).
std::chrono::milliseconds firstObjectWait()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KARVELC_FIRST_OBJECT_WAIT_MS", &ok);
    return ok && ms > 0 ? std::chrono::milliseconds(ms) : ServerLifetime::kFirstObjectWait;
}

// A start that cannot serve: said on stderr, and in a box to a user who started it.
int failStart(StartMode mode, const QString& text)
{
    complain(text);
    if (mode == StartMode::User)
        QMessageBox::critical(nullptr, QStringLiteral("KarvelC"),
                              QStringLiteral("Сервер не запущен: ") + text);
    return 1;
}

int runServer(QApplication& app, StartMode mode)
{
    // Every start refreshes the registration, so a moved program is found again.
    if (const auto error =
            writeServiceFile(sessionServiceDir(QProcessEnvironment::systemEnvironment()),
                             kIdentifier, QCoreApplication::applicationFilePath()))
        complain(QStringLiteral("registration not refreshed: ") + *error);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return failStart(mode,
                         QStringLiteral("нет связи с сеансовой шиной D-Bus: ") +
                             bus.lastError().message());

    TForm1 window;
    const MemoLog memoLog = MemoLog::fromEnvironment();
    ObjectRegistry registry(tlb::factoryPath(kIdentifier), [&](const QString& line) {
        window.appendLine(line);
        memoLog.append(line);
    });
    BookedIds bookedIds(BookedIds::defaultFileName());
    AutomationBus automation(bus, registry, kIdentifier);
    automation.setBookedIds(&bookedIds);
    ServerLifetime lifetime(mode, registry);

    window.setCloseGuard(makeCloseGuard(lifetime, &window));
    QObject::connect(&lifetime, &ServerLifetime::endRequested, &app, [&] {
        releaseBusName(bus, kIdentifier);
        window.setCloseGuard({});
        window.close();
        app.quit();
    });

    if (!automation.attach())
        return failStart(mode,
                         QStringLiteral("объект ") + automation.factoryPath() +
                             QStringLiteral(" не зарегистрирован на шине"));
    if (const auto error = claimBusName(bus, kIdentifier))
        return failStart(mode, *error);
    lifetime.watchConnection(bus);
    lifetime.waitForFirstObject(firstObjectWait());

    window.show();
    return app.exec();
}

} // namespace

const char* const kHelp =
    "KarvelC - the test accounting server\n"
    "\n"
    "Owns \"KarvelC.DataControlServ\" on the session bus and writes every booked change it\n"
    "receives from Karvel_Net as one line in its window, so an installer can check the\n"
    "accounting link without the real accounting system.\n"
    "\n"
    "Usage: KarvelC [/RegServer | /UnregServer | /Automation | /Embedding]\n"
    "  (switches are case-insensitive and may start with / or -)\n"
    "  /RegServer    write the bus activation file and exit\n"
    "                ($XDG_DATA_HOME/dbus-1/services/KarvelC.DataControlServ.service)\n"
    "  /UnregServer  remove it and exit\n"
    "  /Automation, /Embedding  started by the bus: ends when its last object is released,\n"
    "                or when no object is asked for within 30 s of the start\n"
    "  (none)        started by a user: runs until its window is closed\n"
    "\n"
    "KARVELC_MEMO_LOG=FILE also appends each line of the window to FILE.\n"
    "KARVELC_FIRST_OBJECT_WAIT_MS=N waits N ms instead of 30 s for the first object.\n"
    "Changes that came through AddCount are booked once per change_id; the ids booked\n"
    "are kept in $XDG_DATA_HOME/KarvelC/booked-ids (default ~/.local/share).\n";

static bool helpAsked(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "/?" || arg == "-?")
            return true;
    }
    return false;
}

int main(int argc, char* argv[])
{
    if (helpAsked(argc, argv)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const StartMode mode = parseStartMode(arguments);

    if (mode == StartMode::RegServer || mode == StartMode::UnregServer) {
        // No window and no display needed to register.
        QCoreApplication app(argc, argv);
        return runRegistration(mode);
    }
    QApplication app(argc, argv);
    return runServer(app, mode);
}
