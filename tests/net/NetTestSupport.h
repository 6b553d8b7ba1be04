#pragma once
// Helpers for socket tests: an event loop with a deadline, an event recorder and
// plain POSIX peers on the loopback address.

#include "net/Socket.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace brindle::test {

// Runs the event loop until done() holds or timeoutMs passes; returns done().
bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for ms milliseconds.
void spin(int ms);

struct ErrorEvent {
    int number = 0;
    QString description;
    int sCode = -1;
    QString source;
    QString helpFile;
    int helpContext = -1;
};

// Everything a socket reports, in order.
struct Recorder {
    explicit Recorder(Socket& s);
    std::vector<std::string> log; // event names in order
    int connects = 0;
    int closes = 0;
    int completes = 0;
    std::vector<int> requests;
    std::vector<qint64> arrivals;
    std::vector<std::pair<qint64, qint64>> progress;
    std::vector<ErrorEvent> errors;
    bool clearCancelDisplay = false; // the Error handler asks for the message box
};

// The error a call raises; number 0 when it raises none.
struct Raised {
    int number = 0;
    QString description;
    QString source;
};
Raised raisedBy(const std::function<void()>& call);

// A TCP listener bound to 127.0.0.1 that hands every request to `conn`.
struct LoopbackPair {
    Socket server;
    Socket conn; // the server end of the connection
    Socket client;
    void open(); // listens, connects and waits until both ends are connected
};

// Plain POSIX helpers; all sockets are on 127.0.0.1.
int rawListener(int rcvBuf = 0); // listening TCP socket, non-blocking
int rawBoundNotListening();      // TCP socket bound to a port, not listening
int rawBoundTo(int port);        // TCP socket bound to port without SO_REUSEADDR; -1 if refused
int portOf(int fd);
int rawAccept(int listener, int timeoutMs = 5000);

} // namespace brindle::test
