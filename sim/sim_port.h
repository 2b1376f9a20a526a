#pragma once
// Where the simulator answers: a pseudo-terminal (with an optional link to it, so the
// master can open it as a COM port) or a real serial device.

#include <string>

namespace karvel::sim {

struct TOpenedPort {
    int fd = -1; // read and written by the simulator, non-blocking
    int keepFd = -1; // the pseudo-terminal's slave side, held open so that the line never
                     // hangs up while the master program closes and reopens its port
    std::string path;
    std::string error;
};

TOpenedPort OpenPseudoTerminal(int baud);
TOpenedPort OpenSerialDevice(const std::string& path, int baud);
void ClosePort(TOpenedPort& port);

// An inotify descriptor that becomes readable whenever an opener of `path` closes it, or
// -1. A master program that opened the pseudo-terminal for exclusive use and died without
// clearing that leaves the terminal closed to every other user while it exists; the
// simulator clears it on each close.
int WatchCloses(const std::string& path);
// Reads the pending close notices and clears the exclusive-use flag through `keepFd`.
void TakeCloses(int watchFd, int keepFd);

// Makes `link` a symbolic link to `target`, creating missing folders; an existing
// symbolic link is replaced, anything else there is an error.
bool MakeLink(const std::string& link, const std::string& target, std::string& error);
// Removes `link` if it still points to `target`.
void RemoveLink(const std::string& link, const std::string& target);

// Makes a named pipe at `path` (an existing one is used) and opens it for reading.
// Returns the read descriptor or -1 with `error`; `created` tells whether it was made here.
int OpenControlFifo(const std::string& path, bool& created, std::string& error);

} // namespace karvel::sim
