#pragma once
// Texts of failed accounting calls, with the automation error codes the operators and the
// accounting people know: "Неизвестное имя (80020006h): ...".

#include <QDBusError>
#include <QString>

#include <cstdint>

namespace karvel {

constexpr uint32_t kUnknownName = 0x80020006; // no such method
constexpr uint32_t kTypeMismatch = 0x80020005; // arguments of the wrong types
constexpr uint32_t kClassNotRegistered = 0x80040154;
constexpr uint32_t kInvalidClassString = 0x800401F3; // identifier unusable as a bus name
constexpr uint32_t kServerUnavailable = 0x800706BA; // no answer in time, server gone
constexpr uint32_t kDisconnected = 0x80010108; // the object is gone from its server
constexpr uint32_t kException = 0x80020009; // the method itself failed
constexpr uint32_t kNoObject = 0x8000FFFF; // a call on an empty reference

uint32_t AccountErrorCode(const QString& dbusErrorName);

// What a failed call means for the change it carried.
enum class TFailureKind {
    // The server is away, busy or restarting: the same change is offered again later,
    // after a growing pause, and every later change waits behind it.
    Transient,
    // The server will never take this change as it stands (no such method, arguments it
    // cannot take): the change is set aside at once and the next one goes.
    Permanent,
    // The server's own error: it may be passing; after kServerErrorAttempts failed
    // attempts of one change it counts as permanent.
    ServerOwn,
};
inline constexpr int kServerErrorAttempts = 3;
inline constexpr int kMaxBackoffMs = 30000;

TFailureKind FailureKind(const QString& dbusErrorName);
// The pause before attempt `failures` + 1 after `failures` transient failures in a row:
// firstMs, doubled each time, at most kMaxBackoffMs.
int BackoffMs(int failures, int firstMs);
QString AccountErrorText(uint32_t code, const QString& detail);
QString AccountErrorText(const QDBusError& error);

} // namespace karvel
