#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 that runs on the test's own event loop: pages for the
// browser tests and the maker's web site for the window tests. Every connection is closed
// after its one reply.
class TestServer : public QObject {
    Q_OBJECT
  public:
    struct Request {
        QByteArray method;
        QByteArray path;   // without the query, as sent (percent-encoding kept)
        QByteArray query;  // the raw text after "?", without it
        QHash<QByteArray, QByteArray> headers;  // names in lower case
        QByteArray body;
    };
    struct Response {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        int delayMs = 0;  // answer only after this long
        // Answer only once this holds (asked every 20 ms, for at most 30 s): a page kept
        // waiting for as long as the test needs.
        std::function<bool()> until;
        bool drop = false;  // close the connection without any answer
    };
    using Handler = std::function<Response(const Request&)>;

    explicit TestServer(QObject* parent = nullptr);
    ~TestServer() override;

    quint16 port() const;
    QString base() const;                    // "http://127.0.0.1:<port>"
    QString url(const QString& path) const;  // base() + path

    void route(const QByteArray& path, Handler handler);
    void page(const QByteArray& path, const QByteArray& body,
              const QByteArray& contentType = "text/html; charset=utf-8");
    QList<Request> requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }

  private:
    void onConnection();
    void onReadable(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Request& request);

    QTcpServer* server_;
    QHash<QByteArray, Handler> routes_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QList<Request> requests_;
};
