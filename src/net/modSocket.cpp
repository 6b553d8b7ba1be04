#include "net/modSocket.h"

#include "net/Socket.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QtGlobal>

#include <cerrno>
#include <map>
#include <memory>
#include <sys/socket.h>

namespace brindle {

SocketException::SocketException(int number, const QString& description, const QString& source)
    : std::runtime_error((source + QStringLiteral(": ") + description).toStdString()),
      number_(number),
      description_(description),
      source_(source)
{
}

namespace modSocket {

namespace {

struct Entry {
    Socket* owner = nullptr;
    QPointer<QSocketNotifier> reader;
    QPointer<QSocketNotifier> writer;
};

struct Module {
    int instances = 0;
    std::map<int, Entry> sockets;
    std::map<int, Socket*> pending;
    QPointer<QObject> window;
    MessageBoxHandler messageBox;
};

Module& module()
{
    static Module m;
    return m;
}

void retire(QPointer<QSocketNotifier>& n)
{
    // The notifier may be the one whose signal is running right now; it goes once
    // control is back in the event loop.
    if (n) {
        n->setEnabled(false);
        n->deleteLater();
    }
    n = nullptr;
}

// Readiness of a handle, turned into the notification its owner's state calls for.
void dispatch(int handle, bool writable)
{
    auto it = module().sockets.find(handle);
    if (it == module().sockets.end() || !it->second.owner)
        return;
    Socket* s = it->second.owner;
    if (writable) {
        if (s->State() == Socket::sckConnecting) {
            int err = 0;
            socklen_t len = sizeof err;
            if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
            s->WndProc(handle, Notify::Connect, err ? ErrorFromErrno(err) : 0);
        } else {
            s->WndProc(handle, Notify::Write, 0);
        }
        return;
    }
    if (s->State() == Socket::sckListening) {
        s->WndProc(handle, Notify::Accept, 0);
        return;
    }
    if (s->Protocol() == Socket::sckUDPProtocol) {
        s->WndProc(handle, Notify::Read, 0);
        return;
    }
    char probe = 0;
    const ssize_t n = ::recv(handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        s->WndProc(handle, Notify::Read, 0);
    } else if (n == 0) {
        s->WndProc(handle, Notify::Close, 0);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        s->WndProc(handle, Notify::Close, ErrorFromErrno(errno));
    }
}

QSocketNotifier* makeNotifier(int handle, QSocketNotifier::Type type)
{
    auto* n = new QSocketNotifier(handle, type, module().window.data());
    n->setEnabled(false);
    const bool writable = type == QSocketNotifier::Write;
    QObject::connect(n, &QSocketNotifier::activated, module().window.data(),
                     [handle, writable] { dispatch(handle, writable); });
    return n;
}

} // namespace

QString GetErrorDescription(int code)
{
    switch (code) {
    case 10004: return QStringLiteral("Interrupted function call.");
    case 10013: return QStringLiteral("Permission denied.");
    case 10014: return QStringLiteral("Bad address.");
    case 10022: return QStringLiteral("Invalid argument.");
    case 10024: return QStringLiteral("Too many open files.");
    case 10035: return QStringLiteral("Resource temporarily unavailable.");
    case 10036: return QStringLiteral("Operation now in progress.");
    case 10037: return QStringLiteral("Operation already in progress.");
    case 10038: return QStringLiteral("Socket operation on nonsocket.");
    case 10039: return QStringLiteral("Destination address required.");
    case 10040: return QStringLiteral("Message too long.");
    case 10041: return QStringLiteral("Protocol wrong type for socket.");
    case 10042: return QStringLiteral("Bad protocol option.");
    case 10043: return QStringLiteral("Protocol not supported.");
    case 10044: return QStringLiteral("Socket type not supported.");
    case 10045: return QStringLiteral("Operation not supported.");
    case 10046: return QStringLiteral("Protocol family not supported.");
    case 10047: return QStringLiteral("Address family not supported by protocol family.");
    case 10048: return QStringLiteral("Address already in use.");
    case 10049: return QStringLiteral("Cannot assign requested address.");
    case 10050: return QStringLiteral("Network is down.");
    case 10051: return QStringLiteral("Network is unreachable.");
    case 10052: return QStringLiteral("Network dropped connection on reset.");
    case 10053: return QStringLiteral("Software caused connection abort.");
    case 10054: return QStringLiteral("Connection reset by peer.");
    case 10055: return QStringLiteral("No buffer space available.");
    case 10056: return QStringLiteral("Socket is already connected.");
    case 10057: return QStringLiteral("Socket is not connected.");
    case 10058: return QStringLiteral("Cannot send after socket shutdown.");
    case 10060: return QStringLiteral("Connection timed out.");
    case 10061: return QStringLiteral("Connection refused.");
    case 10065: return QStringLiteral("No route to host.");
    case 10067: return QStringLiteral("Too many processes.");
    case 10091: return QStringLiteral("Network subsystem is unavailable.");
    case 10092: return QStringLiteral("Winsock.dll version out of range.");
    case 10093: return QStringLiteral("Successful WSAStartup not yet performed.");
    case 11001: return QStringLiteral("Host not found.");
    case 11002: return QStringLiteral("Nonauthoritative host not found.");
    case 11003: return QStringLiteral("This is a nonrecoverable error.");
    case 11004: return QStringLiteral("Valid name, no data record of requested type.");
    default: return QStringLiteral("Unknown error.");
    }
}

QString ErrorText(int number)
{
    switch (number) {
    case sckOutOfMemory: return QStringLiteral("Out of memory");
    case sckBadState:
        return QStringLiteral("Wrong protocol or connection state for the requested transaction or request");
    case sckInvalidArg:
        return QStringLiteral(
            "The argument passed to a function was not in the correct format or in the specified range.");
    case sckUnsupported: return QStringLiteral("Unsupported variant type.");
    case sckInvalidOp: return QStringLiteral("Invalid operation at current state");
    default: return GetErrorDescription(number);
    }
}

int ErrorFromErrno(int err)
{
    switch (err) {
    case EINTR: return 10004;
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK:
    case EBADF: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN:
    case EPIPE: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTUNREACH: return 10065;
    default: return err;
    }
}

int InstanceCount() { return module().instances; }
void AddInstance() { ++module().instances; }
void RemoveInstance()
{
    if (module().instances > 0)
        --module().instances;
}

void RegisterSocket(int handle, Socket* owner)
{
    Module& m = module();
    if (!m.window) {
        m.window = new QObject();
        m.window->setObjectName(QStringLiteral("SOCKET_WINDOW"));
    }
    Entry& e = m.sockets[handle];
    e.owner = owner;
    if (!e.reader)
        e.reader = makeNotifier(handle, QSocketNotifier::Read);
    if (!e.writer)
        e.writer = makeNotifier(handle, QSocketNotifier::Write);
}

void UnregisterSocket(int handle)
{
    Module& m = module();
    auto it = m.sockets.find(handle);
    if (it == m.sockets.end())
        return;
    retire(it->second.reader);
    retire(it->second.writer);
    m.sockets.erase(it);
    if (m.sockets.empty() && m.window) {
        m.window->deleteLater();
        m.window = nullptr;
    }
}

Socket* SocketFor(int handle)
{
    auto it = module().sockets.find(handle);
    return it == module().sockets.end() ? nullptr : it->second.owner;
}

std::vector<int> RegisteredHandles()
{
    std::vector<int> out;
    for (const auto& [h, e] : module().sockets)
        out.push_back(h);
    return out;
}

void WatchSocket(int handle, bool read, bool write)
{
    auto it = module().sockets.find(handle);
    if (it == module().sockets.end())
        return;
    if (it->second.reader && it->second.reader->isEnabled() != read)
        it->second.reader->setEnabled(read);
    if (it->second.writer && it->second.writer->isEnabled() != write)
        it->second.writer->setEnabled(write);
}

QObject* NotificationWindow() { return module().window.data(); }

void AddPending(int handle, Socket* pending) { module().pending[handle] = pending; }

Socket* PendingFor(int handle)
{
    auto it = module().pending.find(handle);
    return it == module().pending.end() ? nullptr : it->second;
}

Socket* TakePending(int handle)
{
    auto it = module().pending.find(handle);
    if (it == module().pending.end())
        return nullptr;
    Socket* s = it->second;
    module().pending.erase(it);
    return s;
}

int PendingCount() { return static_cast<int>(module().pending.size()); }

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler old = std::move(module().messageBox);
    module().messageBox = std::move(handler);
    return old;
}

void ShowMessage(const QString& text, const QString& caption)
{
    if (module().messageBox) {
        module().messageBox(text, caption);
        return;
    }
    // Without a program-supplied dialog there is no window to show it in.
    qWarning("%s: %s", qUtf8Printable(caption), qUtf8Printable(text));
}

} // namespace modSocket
} // namespace brindle
