#include "net/Socket.h"

#include <QHostInfo>
#include <QPointer>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <new>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace brindle {

namespace {

using Kind = SocketValue::Kind;

// Largest payload of one IPv4 UDP datagram.
constexpr int kMaxDatagram = 65507;

bool parseDotted(const QString& text, std::uint32_t& addressNetOrder)
{
    in_addr a{};
    const QByteArray latin = text.trimmed().toLatin1();
    if (latin.isEmpty() || ::inet_pton(AF_INET, latin.constData(), &a) != 1)
        return false;
    addressNetOrder = a.s_addr;
    return true;
}

QString dotted(std::uint32_t addressNetOrder)
{
    char buf[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = addressNetOrder;
    ::inet_ntop(AF_INET, &a, buf, sizeof buf);
    return QString::fromLatin1(buf);
}

// A port argument: numeric (else 40018) and within [low, 65535] (else 40014).
int checkedPort(const SocketValue& v, int low, const QString& source)
{
    double d = 0;
    if (!v.isNumeric(&d))
        throw SocketException(modSocket::sckUnsupported, modSocket::ErrorText(modSocket::sckUnsupported), source);
    if (!(d >= low && d <= 65535) || std::floor(d) != d)
        throw SocketException(modSocket::sckInvalidArg, modSocket::ErrorText(modSocket::sckInvalidArg), source);
    return static_cast<int>(d);
}

} // namespace

Socket::Socket(QObject* parent) : SocketEvents(parent) { modSocket::AddInstance(); }

Socket::~Socket()
{
    cancelLookup();
    if (handle_ >= 0) {
        modSocket::UnregisterSocket(handle_);
        ::close(handle_);
        handle_ = -1;
    }
    modSocket::RemoveInstance();
}

void Socket::raise(int number, const QString& source) const
{
    throw SocketException(number, modSocket::ErrorText(number), source);
}

// ---------------------------------------------------------------- properties

void Socket::SetRemotePort(int port)
{
    const QString src = QStringLiteral("Socket.RemotePort");
    if (protocol_ == sckTCPProtocol && state_ != sckClosed)
        raise(modSocket::sckInvalidOp, src);
    if (port < 0 || port > 65535)
        raise(modSocket::sckInvalidArg, src);
    remotePort_ = port;
}

void Socket::SetRemoteHost(const QString& host)
{
    if (protocol_ == sckTCPProtocol && state_ != sckClosed)
        raise(modSocket::sckInvalidOp, QStringLiteral("Socket.RemoteHost"));
    remoteHost_ = host;
}

void Socket::SetLocalPort(int port)
{
    const QString src = QStringLiteral("Socket.LocalPort");
    if (state_ != sckClosed)
        raise(modSocket::sckInvalidOp, src);
    if (port < 0 || port > 65535)
        raise(modSocket::sckInvalidArg, src);
    localPort_ = port;
}

void Socket::SetProtocol(int protocol)
{
    const QString src = QStringLiteral("Socket.Protocol");
    if (state_ != sckClosed)
        raise(modSocket::sckInvalidOp, src);
    if (protocol != sckTCPProtocol && protocol != sckUDPProtocol)
        raise(modSocket::sckInvalidArg, src);
    protocol_ = protocol;
}

QString Socket::LocalHostName() { return QHostInfo::localHostName(); }

QString Socket::LocalIP()
{
    QString loopback;
    QString found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (ifaddrs* i = list; i && found.isEmpty(); i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP))
                continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
            if (i->ifa_flags & IFF_LOOPBACK) {
                if (loopback.isEmpty())
                    loopback = dotted(in->sin_addr.s_addr);
            } else {
                found = dotted(in->sin_addr.s_addr);
            }
        }
        ::freeifaddrs(list);
    }
    if (!found.isEmpty())
        return found;
    return loopback.isEmpty() ? QStringLiteral("127.0.0.1") : loopback;
}

qint64 Socket::BytesReceived() const
{
    if (protocol_ == sckUDPProtocol)
        return state_ == sckOpen ? pendingDatagramSize() : 0;
    return recvBuffer_.size();
}

qint64 Socket::pendingDatagramSize() const
{
    if (handle_ < 0)
        return 0;
    const ssize_t n = ::recv(handle_, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    return n > 0 ? n : 0;
}

// ---------------------------------------------------------------- the handle

bool Socket::createSocket(const QString& source)
{
    if (handle_ >= 0)
        return true;
    const int type = protocol_ == sckUDPProtocol ? SOCK_DGRAM : SOCK_STREAM;
    const int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        const int code = modSocket::ErrorFromErrno(errno);
        state_ = sckError;
        raiseError(code, modSocket::GetErrorDescription(code), source);
        return false;
    }
    handle_ = fd;
    if (protocol_ == sckUDPProtocol) {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    try {
        readSizes();
    } catch (...) {
        ::close(fd);
        handle_ = -1;
        throw;
    }
    modSocket::RegisterSocket(fd, this);
    return true;
}

void Socket::readSizes()
{
    if (protocol_ == sckUDPProtocol) {
        receiveSize_ = kMaxDatagram;
        sendChunkSize_ = kMaxDatagram;
        return;
    }
    int rcv = 0, snd = 0;
    socklen_t len = sizeof rcv;
    if (::getsockopt(handle_, SOL_SOCKET, SO_RCVBUF, &rcv, &len) != 0) {
        const int code = modSocket::ErrorFromErrno(errno);
        throw SocketException(code, modSocket::GetErrorDescription(code), QStringLiteral("Socket.ProcessOptions"));
    }
    len = sizeof snd;
    if (::getsockopt(handle_, SOL_SOCKET, SO_SNDBUF, &snd, &len) != 0) {
        const int code = modSocket::ErrorFromErrno(errno);
        throw SocketException(code, modSocket::GetErrorDescription(code), QStringLiteral("Socket.ProcessOptions"));
    }
    receiveSize_ = rcv > 0 ? rcv : 8192;
    sendChunkSize_ = snd > 0 ? snd : 8192;
}

void Socket::bindHandle(const QString& source)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(localPort_));
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!bindAddress_.isEmpty()) {
        std::uint32_t a = 0;
        if (!parseDotted(bindAddress_, a))
            raise(modSocket::sckInvalidArg, source);
        sa.sin_addr.s_addr = a;
    }
    int rc = ::bind(handle_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int err = errno;
    if (rc != 0 && err == EADDRINUSE && protocol_ == sckTCPProtocol && localPort_ != 0) {
        // Held only by connections of an earlier listener (open or in TIME_WAIT):
        // those carry SO_REUSEADDR, so a restarted listener need not wait for them.
        // Bound sockets of ours never carry it, so they cannot be joined this way.
        setReuseAddress(true);
        rc = ::bind(handle_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        err = errno;
        setReuseAddress(false);
    }
    if (rc != 0) {
        const int code = modSocket::ErrorFromErrno(err);
        throw SocketException(code, modSocket::GetErrorDescription(code), source);
    }
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&bound), &len) == 0)
        boundPort_ = ntohs(bound.sin_port);
}

void Socket::setReuseAddress(bool on)
{
    const int value = on ? 1 : 0;
    ::setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value);
}

void Socket::destroySocket(bool raiseFailure)
{
    if (handle_ < 0)
        return;
    cancelLookup();
    const int fd = handle_;
    modSocket::UnregisterSocket(fd);
    handle_ = -1;
    const int rc = ::close(fd);
    const int err = errno;
    remoteHostIP_.clear();
    boundPort_ = 0;
    recvBuffer_.clear();
    sendBuffer_.clear();
    sendOffset_ = 0;
    sentSinceEmpty_ = 0;
    sendChunkSize_ = 0;
    receiveSize_ = 0;
    acceptedPending_ = false;
    if (rc != 0 && err != EINTR) {
        state_ = sckError;
        if (raiseFailure) {
            const int code = modSocket::ErrorFromErrno(err);
            throw SocketException(code, modSocket::GetErrorDescription(code), QStringLiteral("Socket.DestroySocket"));
        }
    }
    state_ = sckClosed;
}

void Socket::cancelLookup()
{
    if (lookupId_ < 0)
        return;
    QHostInfo::abortHostLookup(lookupId_);
    // A reply already on its way is matched against the id and dropped.
    lookupId_ = -1;
}

void Socket::updateNotifications()
{
    if (handle_ < 0)
        return;
    const bool tcp = protocol_ == sckTCPProtocol;
    const bool read = state_ == sckListening || (tcp && state_ == sckConnected) || (!tcp && state_ == sckOpen);
    // After the peer half-closes, what is still queued goes out all the same.
    const bool write = state_ == sckConnecting ||
                       (tcp && (state_ == sckConnected || state_ == sckClosing) && sendOffset_ < sendBuffer_.size());
    modSocket::WatchSocket(handle_, read, write);
}

void Socket::raiseError(int number, const QString& description, const QString& source)
{
    bool cancelDisplay = true;
    emit Error(number, description, 0, source, QString(), 0, cancelDisplay);
    if (!cancelDisplay)
        modSocket::ShowMessage(description, source);
}

void Socket::failWithEvent(int number, const QString& source)
{
    state_ = sckError;
    updateNotifications();
    raiseError(number, modSocket::GetErrorDescription(number), source);
}

// ---------------------------------------------------------------- notifications

void Socket::WndProc(int handle, modSocket::Notify kind, int errorCode)
{
    QPointer<Socket> alive(this);
    try {
        notified(handle, kind, errorCode);
    } catch (...) {
        contain(alive, std::current_exception());
    }
}

void Socket::contain(const QPointer<Socket>& alive, const std::exception_ptr& failure)
{
    int number = 0;
    QString description;
    QString source = QStringLiteral("Socket.WndProc");
    try {
        std::rethrow_exception(failure);
    } catch (const SocketException& e) {
        number = e.Number();
        description = e.Description();
        source = e.Source();
    } catch (const std::bad_alloc&) {
        number = modSocket::sckOutOfMemory;
        description = modSocket::ErrorText(number);
    } catch (const std::exception& e) {
        description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        description = modSocket::GetErrorDescription(0);
    }
    if (!alive) {
        qWarning("%s: %s", qUtf8Printable(source), qUtf8Printable(description));
        return;
    }
    try {
        alive->raiseError(number, description, source);
    } catch (...) {
        // The Error handler itself threw: nothing is left to tell but the log.
        qWarning("%s: %s", qUtf8Printable(source), qUtf8Printable(description));
    }
}

void Socket::notified(int handle, modSocket::Notify kind, int errorCode)
{
    if (handle != handle_)
        return;
    using modSocket::Notify;
    if (errorCode != 0) {
        QString source = QStringLiteral("Socket.WndProc");
        if (kind == Notify::Connect)
            source = QStringLiteral("Socket.Connect");
        else if (kind == Notify::Write)
            source = QStringLiteral("Socket.SendData");
        failWithEvent(errorCode, source);
        return;
    }
    switch (kind) {
    case Notify::Read:
        if (protocol_ == sckTCPProtocol && state_ == sckConnected)
            receiveTcp();
        else if (protocol_ == sckUDPProtocol && state_ == sckOpen)
            receiveUdp();
        break;
    case Notify::Write:
        if ((state_ == sckConnected || state_ == sckClosing) && sendOffset_ < sendBuffer_.size())
            sendBuffered();
        else
            updateNotifications();
        break;
    case Notify::Accept:
        if (state_ == sckListening)
            acceptConnection();
        break;
    case Notify::Connect:
        if (state_ == sckConnecting) {
            readEnds();
            state_ = sckConnected;
            updateNotifications();
            emit SocketEvents::Connect();
        }
        break;
    case Notify::Close:
        if (state_ == sckConnected) {
            state_ = sckClosing;
            updateNotifications();
            emit SocketEvents::CloseSck();
        }
        break;
    }
}

void Socket::receiveTcp()
{
    QByteArray chunk(receiveSize_ > 0 ? receiveSize_ : 8192, Qt::Uninitialized);
    ssize_t n;
    do {
        n = ::recv(handle_, chunk.data(), static_cast<size_t>(chunk.size()), MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        recvBuffer_.append(chunk.constData(), n);
        emit DataArrival(recvBuffer_.size());
    } else if (n == 0) {
        WndProc(handle_, modSocket::Notify::Close, 0);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
        failWithEvent(modSocket::ErrorFromErrno(errno), QStringLiteral("Socket.WndProc"));
    }
}

void Socket::receiveUdp()
{
    const int fd = handle_;
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t size = ::recvfrom(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (size < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            // An ICMP error from an earlier send surfaces here; it does not stop the socket.
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        }
        return;
    }
    datagramTaken_ = false;
    if (size > 0)
        takeSender(from);
    QPointer<Socket> alive(this);
    // What the handler left unread is dropped, so the next datagram gets its own
    // event, also when the handler threw.
    const auto dropUnread = [&] {
        if (alive && handle_ == fd && !datagramTaken_) {
            char dummy = 0;
            ::recv(fd, &dummy, 0, MSG_DONTWAIT);
        }
    };
    try {
        if (size > 0)
            emit DataArrival(size);
    } catch (...) {
        dropUnread();
        throw;
    }
    dropUnread();
}

void Socket::takeSender(const sockaddr_in& from)
{
    // The sender's end, so that a reply can go back where the datagram came from.
    if (from.sin_family != AF_INET)
        return;
    remoteHostIP_ = dotted(from.sin_addr.s_addr);
    remotePort_ = ntohs(from.sin_port);
}

void Socket::acceptConnection()
{
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd = ::accept4(handle_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        // A client that gave up before being accepted is no fault of the listener.
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR || err == ECONNABORTED || err == EPROTO)
            return;
        failWithEvent(modSocket::ErrorFromErrno(err), QStringLiteral("Socket.Listen"));
        return;
    }
    auto* pending = new Socket();
    pending->adoptAccepted(fd);
    modSocket::AddPending(fd, pending);

    const int listener = handle_;
    const QString savedHost = remoteHost_, savedIP = remoteHostIP_;
    const int savedPort = remotePort_;
    remoteHostIP_ = dotted(peer.sin_addr.s_addr);
    remoteHost_ = remoteHostIP_;
    remotePort_ = ntohs(peer.sin_port);

    QPointer<Socket> alive(this);
    std::exception_ptr failure;
    try {
        emit ConnectionRequest(fd);
    } catch (...) {
        failure = std::current_exception(); // reported once the request is wound up
    }

    if (alive && handle_ == listener && state_ == sckListening) {
        remoteHost_ = savedHost;
        remoteHostIP_ = savedIP;
        remotePort_ = savedPort;
    }
    // Nobody claimed it: close the connection and forget it.
    if (Socket* unclaimed = modSocket::TakePending(fd)) {
        unclaimed->destroySocket(false);
        delete unclaimed;
    }
    if (failure)
        std::rethrow_exception(failure);
}

void Socket::adoptAccepted(int fd)
{
    handle_ = fd;
    protocol_ = sckTCPProtocol;
    acceptedPending_ = true;
    try {
        readSizes();
    } catch (const SocketException&) {
        receiveSize_ = sendChunkSize_ = 8192;
    }
    modSocket::RegisterSocket(fd, this);
    readEnds();
    state_ = sckConnected;
    updateNotifications();
}

void Socket::readEnds()
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        boundPort_ = ntohs(a.sin_port);
    len = sizeof a;
    if (protocol_ == sckTCPProtocol && ::getpeername(handle_, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        remoteHostIP_ = dotted(a.sin_addr.s_addr);
        remotePort_ = ntohs(a.sin_port);
        if (remoteHost_.isEmpty())
            remoteHost_ = remoteHostIP_;
    }
}

// ---------------------------------------------------------------- methods

void Socket::CloseSck()
{
    if (handle_ < 0) {
        // A failed socket creation leaves the error state without a handle; closing
        // is the way back to a usable object.
        if (state_ == sckError)
            state_ = sckClosed;
        return;
    }
    state_ = sckClosing;
    destroySocket(true);
}

void Socket::Connect(const std::optional<QString>& remoteHost, const std::optional<SocketValue>& remotePort)
{
    const QString src = QStringLiteral("Socket.Connect");
    if (state_ != sckClosed)
        raise(modSocket::sckInvalidOp, src);
    int port = remotePort_;
    if (remotePort)
        port = checkedPort(*remotePort, 1, src);
    if (protocol_ == sckTCPProtocol && (port < 1 || port > 65535))
        raise(modSocket::sckInvalidArg, src);
    if (remoteHost)
        remoteHost_ = *remoteHost;
    remotePort_ = port;

    if (!createSocket(src))
        return;
    try {
        bindHandle(src);
    } catch (...) {
        destroySocket(false);
        throw;
    }
    if (protocol_ == sckUDPProtocol) {
        state_ = sckOpen;
        updateNotifications();
        return;
    }
    std::uint32_t address = 0;
    if (parseDotted(remoteHost_, address)) {
        connectTo(address, true);
        return;
    }
    state_ = sckResolvingHost;
    updateNotifications();
    // The slot form, because the functor form leaks its callback when this object
    // is destroyed before the reply.
    lookupId_ = QHostInfo::lookupHost(remoteHost_, this, SLOT(hostLookedUp(QHostInfo)));
}

void Socket::hostLookedUp(const QHostInfo& info)
{
    QPointer<Socket> alive(this);
    try {
        onHostResolved(info.lookupId(), info);
    } catch (...) {
        contain(alive, std::current_exception());
    }
}

void Socket::onHostResolved(int lookupId, const QHostInfo& info)
{
    if (lookupId != lookupId_ || state_ != sckResolvingHost)
        return;
    lookupId_ = -1;
    const QString src = QStringLiteral("Socket.Connect");
    if (info.error() != QHostInfo::NoError) {
        failWithEvent(info.error() == QHostInfo::HostNotFound ? modSocket::sckHostNotFound : modSocket::sckTryAgain,
                      src);
        return;
    }
    for (const QHostAddress& a : info.addresses()) {
        if (a.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        state_ = sckHostResolved;
        connectTo(htonl(a.toIPv4Address()), false);
        return;
    }
    failWithEvent(modSocket::sckNoData, src);
}

void Socket::connectTo(std::uint32_t addressNetOrder, bool raiseToCaller)
{
    const QString src = QStringLiteral("Socket.Connect");
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(remotePort_));
    sa.sin_addr.s_addr = addressNetOrder;
    remoteHostIP_ = dotted(addressNetOrder);
    state_ = sckConnecting;
    int rc;
    do {
        rc = ::connect(handle_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (rc != 0 && errno == EINTR);
    // Completion, even an immediate one, is reported through the write notification.
    if (rc == 0 || errno == EINPROGRESS || errno == EAGAIN) {
        updateNotifications();
        return;
    }
    const int code = modSocket::ErrorFromErrno(errno);
    if (code == modSocket::sckAddressNotAvailable && raiseToCaller) {
        destroySocket(false);
        raise(code, src);
    }
    failWithEvent(code, src);
}

void Socket::Bind(const std::optional<SocketValue>& localPort, const std::optional<QString>& localIP)
{
    const QString src = QStringLiteral("Socket.Bind");
    if (state_ != sckClosed)
        raise(modSocket::sckInvalidOp, src);
    if (localPort)
        localPort_ = checkedPort(*localPort, 0, src);
    if (localIP) {
        std::uint32_t a = 0;
        if (!localIP->trimmed().isEmpty() && !parseDotted(*localIP, a))
            raise(modSocket::sckInvalidArg, src);
        bindAddress_ = localIP->trimmed();
    }
    openBound(src);
}

bool Socket::openBound(const QString& src)
{
    if (!createSocket(src))
        return false;
    try {
        bindHandle(src);
    } catch (...) {
        destroySocket(false);
        throw;
    }
    state_ = sckOpen;
    updateNotifications();
    return true;
}

void Socket::Listen()
{
    const QString src = QStringLiteral("Socket.Listen");
    if (state_ != sckClosed && state_ != sckOpen)
        raise(modSocket::sckInvalidOp, src);
    const bool created = handle_ < 0;
    if (!createSocket(src))
        return;
    try {
        if (created)
            bindHandle(src);
        // Only a listener carries SO_REUSEADDR: no other socket can share a listening
        // port, and the connections it accepts inherit the flag, so that neither they
        // nor their TIME_WAIT remnants keep the next listener off the port.
        setReuseAddress(true);
        if (::listen(handle_, 5) != 0) {
            const int code = modSocket::ErrorFromErrno(errno);
            setReuseAddress(false);
            throw SocketException(code, modSocket::GetErrorDescription(code), src);
        }
    } catch (...) {
        if (created)
            destroySocket(false);
        throw;
    }
    state_ = sckListening;
    updateNotifications();
}

void Socket::Accept(int requestID)
{
    const QString src = QStringLiteral("Socket.Accept");
    if (state_ != sckClosed)
        raise(modSocket::sckBadState, src);
    Socket* pending = modSocket::TakePending(requestID);
    if (!pending)
        raise(modSocket::sckBadState, src);
    protocol_ = sckTCPProtocol;
    handle_ = requestID;
    receiveSize_ = pending->receiveSize_;
    sendChunkSize_ = pending->sendChunkSize_;
    recvBuffer_ = std::move(pending->recvBuffer_);
    pending->handle_ = -1; // the handle is ours now; the pending object must not close it
    delete pending;
    modSocket::RegisterSocket(requestID, this);
    remoteHost_.clear();
    readEnds();
    state_ = sckConnected;
    // A peer that already closed is reported again by the next read notification.
    updateNotifications();
}

void Socket::SendData(const SocketValue& data)
{
    const QString src = QStringLiteral("Socket.SendData");
    QByteArray bytes;
    if (protocol_ == sckTCPProtocol && state_ != sckConnected)
        raise(modSocket::sckBadState, src);
    if (!data.toBytes(bytes))
        raise(modSocket::sckUnsupported, src);

    if (protocol_ == sckTCPProtocol) {
        if (bytes.isEmpty())
            return;
        sendBuffer_.append(bytes);
        sendBuffered();
        return;
    }

    // Port 0 is no destination; refused before the socket is touched, so it stays usable.
    if (remotePort_ == 0 && !bytes.isEmpty())
        throw SocketException(modSocket::sckInvalidArg, QStringLiteral("Invalid argument"), src);
    if (handle_ < 0 && !openBound(src))
        return;
    if (state_ != sckOpen)
        raise(modSocket::sckBadState, src);
    sendBuffer_.append(bytes);
    if (sendBuffer_.isEmpty())
        return;

    std::uint32_t address = 0;
    if (!parseDotted(remoteHost_, address)) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* res = nullptr;
        const QByteArray name = remoteHost_.trimmed().toUtf8();
        const int rc = name.isEmpty() ? EAI_NONAME : ::getaddrinfo(name.constData(), nullptr, &hints, &res);
        if (rc != 0 || !res) {
            if (res)
                ::freeaddrinfo(res);
            sendBuffer_.clear();
            if (rc == EAI_FAMILY || rc == EAI_ADDRFAMILY)
                raise(modSocket::sckAddressFamily, src);
            throw SocketException(modSocket::sckInvalidArg, QStringLiteral("Invalid argument"), src);
        }
        address = reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
        ::freeaddrinfo(res);
    }
    remoteHostIP_ = dotted(address);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(remotePort_));
    sa.sin_addr.s_addr = address;
    const QByteArray datagram = std::exchange(sendBuffer_, QByteArray());
    ssize_t n;
    do {
        n = ::sendto(handle_, datagram.constData(), static_cast<size_t>(datagram.size()), MSG_NOSIGNAL,
                     reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        failWithEvent(modSocket::ErrorFromErrno(errno), src);
}

void Socket::sendBuffered()
{
    const int fd = handle_;
    bool progressed = false;
    while (sendOffset_ < sendBuffer_.size()) {
        const qsizetype left = sendBuffer_.size() - sendOffset_;
        const qsizetype chunk = std::min<qsizetype>(left, sendChunkSize_ > 0 ? sendChunkSize_ : 8192);
        const ssize_t n = ::send(fd, sendBuffer_.constData() + sendOffset_, static_cast<size_t>(chunk),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sendOffset_ += n;
            sentSinceEmpty_ += n;
            progressed = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Drop what went out so a long transfer does not keep it all in memory.
            if (sendOffset_ > 65536 && sendOffset_ * 2 > sendBuffer_.size()) {
                sendBuffer_.remove(0, sendOffset_);
                sendOffset_ = 0;
            }
            updateNotifications();
            if (progressed)
                emit SendProgress(sentSinceEmpty_, sendBuffer_.size() - sendOffset_);
            return;
        }
        failWithEvent(modSocket::ErrorFromErrno(n < 0 ? errno : EPIPE), QStringLiteral("Socket.SendData"));
        return;
    }
    const qint64 total = sentSinceEmpty_;
    sendBuffer_.clear();
    sendOffset_ = 0;
    sentSinceEmpty_ = 0;
    updateNotifications();
    QPointer<Socket> alive(this);
    emit SendProgress(total, 0);
    if (alive && handle_ == fd)
        emit SendComplete();
}

void Socket::GetData(SocketValue& data, std::optional<SocketValue::Kind> varType, std::optional<long> maxLen)
{
    readData(data, varType, maxLen, false);
}

void Socket::PeekData(SocketValue& data, std::optional<SocketValue::Kind> varType, std::optional<long> maxLen)
{
    readData(data, varType, maxLen, true);
}

void Socket::readData(SocketValue& data, std::optional<SocketValue::Kind> varType, std::optional<long> maxLen,
                      bool peek)
{
    const QString src = peek ? QStringLiteral("Socket.PeekData") : QStringLiteral("Socket.GetData");
    if (protocol_ == sckTCPProtocol) {
        // Data that arrived before the peer closed stays readable while closing.
        if (state_ != sckConnected && state_ != sckClosing && !acceptedPending_)
            raise(modSocket::sckBadState, src);
    } else if (state_ != sckOpen) {
        raise(modSocket::sckBadState, src);
    }
    if (maxLen && *maxLen < 0)
        raise(modSocket::sckInvalidArg, src);
    Kind kind = data.kind();
    if (kind == Kind::Empty)
        kind = varType.value_or(Kind::ByteArray);
    if (!SocketValue::isSupported(kind))
        raise(modSocket::sckUnsupported, src);
    const int fixed = SocketValue::fixedSize(kind);

    if (protocol_ == sckTCPProtocol) {
        qsizetype take = recvBuffer_.size();
        if (fixed > 0) {
            if (recvBuffer_.size() < fixed)
                return; // not all there yet: read nothing
            take = fixed;
        } else if (maxLen) {
            take = std::min<qsizetype>(take, *maxLen);
        }
        data = SocketValue::fromBytes(kind, recvBuffer_.left(take));
        if (!peek)
            recvBuffer_.remove(0, take);
        return;
    }

    const qint64 size = pendingDatagramSize();
    char probe = 0;
    const bool waiting = size > 0 || ::recv(handle_, &probe, 0, MSG_PEEK | MSG_DONTWAIT) == 0;
    if (!waiting)
        return;
    if (maxLen && *maxLen == 0) {
        ::recv(handle_, &probe, 0, MSG_DONTWAIT);
        datagramTaken_ = true;
        raise(modSocket::sckMsgTooBig, src);
    }
    if (fixed > 0 && size < fixed)
        return;
    qint64 want = size;
    if (fixed > 0)
        want = fixed;
    else if (maxLen)
        want = std::min<qint64>(want, *maxLen);
    QByteArray buf(static_cast<qsizetype>(size > 0 ? size : 1), Qt::Uninitialized);
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(handle_, buf.data(), static_cast<size_t>(buf.size()),
                                 MSG_DONTWAIT | (peek ? MSG_PEEK : 0), reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0)
        return;
    if (!peek)
        datagramTaken_ = true;
    takeSender(from);
    data = SocketValue::fromBytes(kind, buf.left(std::min<qint64>(want, n)));
}

} // namespace brindle
