#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>

class QNetworkReply;

namespace platform {

// Synchronous HTTP on the user-interface thread: the call lets window events run while it
// waits and always returns, at the latest when the time limit runs out.

// The limit every request has unless the caller names another. No request of the desktop
// platform had one; 8 seconds keeps a dead site from holding a window for long while a slow
// but working one still answers.
constexpr int kDefaultRequestTimeoutMs = 8000;

// Why a request brought no whole reply, as the user is to be told.
enum class HttpFailure {
    None,
    InvalidAddress,
    NoConnection,  // no network, a host that does not resolve, a refused connection
    NoAnswer,      // connected, but no reply within the time limit, or the site hung up
    Other,         // the transfer broke down otherwise (a protocol or TLS error)
};

struct HttpReply {
    bool complete = false;  // a whole reply arrived (whatever its status)
    int status = 0;         // HTTP status code, 0 without a reply
    QByteArray body;
    QString error;  // why it is not complete
    HttpFailure failure = HttpFailure::None;
};

// The address is used as given; characters that cannot stand in a request line (spaces, for
// example) are percent-encoded on the way out.
HttpReply httpGet(const QString& address, int timeoutMs = kDefaultRequestTimeoutMs);

// A GET under way: sent when made, waited for later, so that several can be in flight at
// once. Destroying it aborts a request that is still open.
class PendingHttp {
  public:
    PendingHttp(const QString& address, int timeoutMs = kDefaultRequestTimeoutMs);
    ~PendingHttp();
    PendingHttp(const PendingHttp&) = delete;
    PendingHttp& operator=(const PendingHttp&) = delete;

    // Waits, letting window events run, until the reply is whole, the request's own limit
    // has run out or the deadline has passed, whichever comes first; then as httpGet. Once
    // only: a second call gives an empty reply.
    HttpReply wait(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

  private:
    QPointer<QNetworkReply> reply_;
    QDeadlineTimer own_;
    HttpReply failed_;  // why there is no request at all
};

// A form POST. headerText holds header lines separated by CR LF ("Content-Type: ...").
HttpReply httpPost(const QString& address, const QByteArray& body, const QString& headerText,
                   int timeoutMs = kDefaultRequestTimeoutMs);

// Copies a web address or a local file path to filePath. The target file appears only once
// the whole content is there; a failure leaves no file behind. Returns whether it worked.
// Content larger than maxBytes (when not negative) is refused; a local file that large is
// not even read.
bool downloadToFile(const QString& addressOrPath, const QString& filePath,
                    int timeoutMs = kDefaultRequestTimeoutMs, qint64 maxBytes = -1);

}  // namespace platform
