#pragma once
// An event-driven TCP or UDP socket. Calls never block (except the name lookup of a
// UDP destination); progress is reported through the signals of SocketEvents, raised
// from the event loop of the thread that owns the object.
//
// The events carry the same names as two methods (CloseSck, Connect). The methods
// hide the inherited signals, so connect to those two as &SocketEvents::CloseSck and
// &SocketEvents::Connect; the others can be named through either class.
// Error passes CancelDisplay by reference: use a direct connection to change it.

#include "net/SocketValue.h"
#include "net/modSocket.h"

#include <QByteArray>
#include <QHostInfo>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <exception>
#include <optional>

struct sockaddr_in;

namespace brindle {

class SocketEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void CloseSck();
    void Connect();
    void ConnectionRequest(int requestID);
    void DataArrival(qint64 bytesTotal);
    void Error(int Number, const QString& Description, int sCode, const QString& Source, const QString& HelpFile,
               int HelpContext, bool& CancelDisplay);
    void SendComplete();
    void SendProgress(qint64 bytesSent, qint64 bytesRemaining);
};

class Socket : public SocketEvents {
    Q_OBJECT
public:
    enum StateConstants {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };
    enum ProtocolConstants { sckTCPProtocol = 0, sckUDPProtocol = 1 };

    explicit Socket(QObject* parent = nullptr);
    ~Socket() override;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // --- properties
    int RemotePort() const { return remotePort_; }
    void SetRemotePort(int port);
    const QString& RemoteHost() const { return remoteHost_; }
    void SetRemoteHost(const QString& host);
    const QString& RemoteHostIP() const { return remoteHostIP_; }
    int LocalPort() const { return boundPort_ > 0 ? boundPort_ : localPort_; }
    void SetLocalPort(int port);
    int State() const { return state_; }
    static QString LocalHostName();
    // The first IPv4 address of an interface that is up, preferring one that is not
    // loopback; "127.0.0.1" when there is none.
    static QString LocalIP();
    qint64 BytesReceived() const;
    int SocketHandle() const { return handle_; }
    QString Tag; // free for the user
    int Protocol() const { return protocol_; }
    void SetProtocol(int protocol);

    // --- methods
    // Notification entry: the module calls it when the handle is ready; errorCode is a
    // platform error number, 0 for none. It never throws: an exception out of an event
    // handler is reported through Error with the number and text it carries.
    void WndProc(int handle, modSocket::Notify kind, int errorCode);
    void CloseSck();
    void Connect(const std::optional<QString>& remoteHost = std::nullopt,
                 const std::optional<SocketValue>& remotePort = std::nullopt);
    void Bind(const std::optional<SocketValue>& localPort = std::nullopt,
              const std::optional<QString>& localIP = std::nullopt);
    void SendData(const SocketValue& data);
    // The kind read is that of data, else varType, else a byte array.
    void GetData(SocketValue& data, std::optional<SocketValue::Kind> varType = std::nullopt,
                 std::optional<long> maxLen = std::nullopt);
    void PeekData(SocketValue& data, std::optional<SocketValue::Kind> varType = std::nullopt,
                  std::optional<long> maxLen = std::nullopt);
    void Listen();
    void Accept(int requestID);

    // Set on an object holding an accepted connection nobody has claimed yet.
    bool IsAcceptedPending() const { return acceptedPending_; }

private slots:
    void hostLookedUp(const QHostInfo& info);

private:
    void notified(int handle, modSocket::Notify kind, int errorCode);
    // Reports an exception that an event handler let out, instead of letting it
    // unwind through the event loop. Static: the handler may have deleted the object.
    static void contain(const QPointer<Socket>& alive, const std::exception_ptr& failure);
    bool createSocket(const QString& source);
    void readSizes();
    void bindHandle(const QString& source);
    void setReuseAddress(bool on);
    // Creates and binds a handle and opens the socket; a failed bind leaves no handle.
    bool openBound(const QString& source);
    void connectTo(std::uint32_t addressNetOrder, bool raiseToCaller);
    void onHostResolved(int lookupId, const QHostInfo& info);
    void cancelLookup();
    void destroySocket(bool raise);
    void updateNotifications();
    void raiseError(int number, const QString& description, const QString& source);
    void failWithEvent(int number, const QString& source);
    void sendBuffered();
    void receiveTcp();
    void receiveUdp();
    void takeSender(const sockaddr_in& from);
    void acceptConnection();
    void readEnds();
    void adoptAccepted(int handle);
    void readData(SocketValue& data, std::optional<SocketValue::Kind> varType, std::optional<long> maxLen, bool peek);
    qint64 pendingDatagramSize() const;
    [[noreturn]] void raise(int number, const QString& source) const;

    int handle_ = -1;
    int state_ = sckClosed;
    int protocol_ = sckTCPProtocol;
    QString remoteHost_;
    QString remoteHostIP_;
    int remotePort_ = 0;
    int localPort_ = 0;
    int boundPort_ = 0;
    QString bindAddress_; // local address given to Bind; empty = any
    QByteArray recvBuffer_;
    QByteArray sendBuffer_;
    qsizetype sendOffset_ = 0; // bytes of sendBuffer_ already sent
    qint64 sentSinceEmpty_ = 0;
    int sendChunkSize_ = 0;
    int receiveSize_ = 0;
    bool acceptedPending_ = false;
    bool datagramTaken_ = false; // a UDP read consumed the announced datagram
    int lookupId_ = -1;          // pending name lookup, -1 for none
};

} // namespace brindle
