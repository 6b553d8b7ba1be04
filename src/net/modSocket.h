#pragma once
// What all socket objects share: the error numbers and texts, the mapping of system
// error numbers onto them, the registries of handles, and the one dispatcher that
// turns readiness of a handle into a notification for the object owning it.
// Everything here belongs to the thread that runs the event loop.

#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

class QObject;

namespace brindle {

class Socket;

// An error raised to the caller of a socket method or property.
class SocketException : public std::runtime_error {
public:
    SocketException(int number, const QString& description, const QString& source);
    int Number() const { return number_; }
    const QString& Description() const { return description_; }
    const QString& Source() const { return source_; }

private:
    int number_;
    QString description_;
    QString source_;
};

namespace modSocket {

// Errors of the socket object itself.
inline constexpr int sckOutOfMemory = 7;
inline constexpr int sckBadState = 40006;
inline constexpr int sckInvalidArg = 40014;
inline constexpr int sckUnsupported = 40018;
inline constexpr int sckInvalidOp = 40020;
// Platform error numbers the object raises or tests for by name.
inline constexpr int sckWouldBlock = 10035;
inline constexpr int sckMsgTooBig = 10040;
inline constexpr int sckAddressFamily = 10047;
inline constexpr int sckAddressNotAvailable = 10049;
inline constexpr int sckConnectionRefused = 10061;
inline constexpr int sckHostNotFound = 11001;
inline constexpr int sckTryAgain = 11002;
inline constexpr int sckNoRecovery = 11003;
inline constexpr int sckNoData = 11004;

// Text of a platform error number; "Unknown error." for any number not in the table.
QString GetErrorDescription(int code);
// Text of any error a socket raises: its own numbers first, then the platform table.
QString ErrorText(int number);
// A system errno as the platform error number; unknown ones are returned unchanged
// (and so read as "Unknown error.").
int ErrorFromErrno(int err);

// Notification kinds delivered to Socket::WndProc.
enum class Notify { Read, Write, Accept, Connect, Close };

// Live Socket objects.
int InstanceCount();
void AddInstance();
void RemoveInstance();

// Handle -> owning object. The first registration creates the notification window
// (a hidden QObject named "SOCKET_WINDOW"), the last unregistration drops it.
void RegisterSocket(int handle, Socket* owner);
void UnregisterSocket(int handle);
Socket* SocketFor(int handle);
std::vector<int> RegisteredHandles();
// Which readiness of a registered handle is watched.
void WatchSocket(int handle, bool read, bool write);
QObject* NotificationWindow();

// Handle -> connection accepted by a listener and not yet claimed.
void AddPending(int handle, Socket* pending);
Socket* PendingFor(int handle);
// Removes and returns the pending object; the caller owns it from then on.
Socket* TakePending(int handle);
int PendingCount();

// Shows an error text in a message box titled with the source. Replaceable so that
// a program can route it to its own dialog and tests never block; returns the old one.
using MessageBoxHandler = std::function<void(const QString& text, const QString& caption)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
void ShowMessage(const QString& text, const QString& caption);

} // namespace modSocket
} // namespace brindle
