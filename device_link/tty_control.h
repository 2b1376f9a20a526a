#pragma once
// The tty control requests the port makes (modem lines, RS-485 mode, output queue) pass
// through one replaceable layer, so that tests can check them on pseudo-terminals, which
// have neither modem lines nor an RS-485 mode.

namespace karvel {

class TTtyControl {
public:
    virtual ~TTtyControl() = default;
    // As ioctl(2): 0 on success, -1 with errno set on failure.
    virtual int Ioctl(int fd, unsigned long request, void* arg);
};

// The layer in use: the kernel's unless a test has put another in place.
TTtyControl& TtyControl();

// Puts `layer` in place for the lifetime of the object (tests only; main thread, with no
// port open).
class TScopedTtyControl {
public:
    explicit TScopedTtyControl(TTtyControl& layer);
    ~TScopedTtyControl();
    TScopedTtyControl(const TScopedTtyControl&) = delete;
    TScopedTtyControl& operator=(const TScopedTtyControl&) = delete;

private:
    TTtyControl* previous_;
};

// Drops DTR and RTS. A tty raises both when it is opened; an RS-485 converter keyed by
// RTS would then hold the bus in transmit.
bool DropModemLines(int fd);

// Switches the driver's RS-485 mode on: the driver raises RTS while it sends and drops it
// after the last bit, for converters and UARTs whose direction the driver must switch.
// False with errno set when the device has no such mode.
bool EnableRs485Mode(int fd);

} // namespace karvel
