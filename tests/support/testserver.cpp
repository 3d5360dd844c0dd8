#include "support/testserver.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

TestServer::TestServer(QObject* parent) : QObject(parent), server_(new QTcpServer(this)) {
    server_->listen(QHostAddress::LocalHost, 0);
    connect(server_, &QTcpServer::newConnection, this, &TestServer::onConnection);
}

TestServer::~TestServer() = default;

quint16 TestServer::port() const {
    return server_->serverPort();
}
QString TestServer::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}
QString TestServer::url(const QString& path) const {
    return base() + path;
}

void TestServer::route(const QByteArray& path, Handler handler) {
    routes_.insert(path, std::move(handler));
}

void TestServer::page(const QByteArray& path, const QByteArray& body,
                      const QByteArray& contentType) {
    route(path, [body, contentType](const Request&) {
        Response r;
        r.body = body;
        r.contentType = contentType;
        return r;
    });
}

void TestServer::onConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

void TestServer::onReadable(QTcpSocket* socket) {
    QByteArray& buf = buffers_[socket];
    buf += socket->readAll();
    const qsizetype headerEnd = buf.indexOf("\r\n\r\n");
    if (headerEnd < 0) return;
    const QList<QByteArray> lines = buf.left(headerEnd).split('\n');
    Request req;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    req.method = first.value(0);
    QByteArray target = first.value(1);
    const qsizetype q = target.indexOf('?');
    req.path = q >= 0 ? target.left(q) : target;
    req.query = q >= 0 ? target.mid(q + 1) : QByteArray();
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            req.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype length = req.headers.value("content-length", "0").toLongLong();
    if (buf.size() - (headerEnd + 4) < length) return;
    req.body = buf.mid(headerEnd + 4, length);
    buf.clear();
    requests_.append(req);
    answer(socket, req);
}

void TestServer::answer(QTcpSocket* socket, const Request& request) {
    Response res;
    if (routes_.contains(request.path)) {
        res = routes_.value(request.path)(request);
    } else {
        res.status = 404;
        res.body = "<html><body>not found</body></html>";
    }
    QPointer<QTcpSocket> guard(socket);
    auto send = [guard, res] {
        if (!guard) return;
        if (res.drop) {
            guard->abort();
            return;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(res.status) + " X\r\n";
        out += "Content-Type: " + res.contentType + "\r\n";
        out += "Content-Length: " + QByteArray::number(res.body.size()) + "\r\n";
        out += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
        out += res.body;
        guard->write(out);
        guard->disconnectFromHost();
    };
    if (res.until) {
        auto* poll = new QTimer(this);
        auto waited = std::make_shared<QElapsedTimer>();
        waited->start();
        connect(poll, &QTimer::timeout, this, [poll, waited, res, send] {
            if (!res.until() && waited->elapsed() < 30000) return;
            poll->deleteLater();
            send();
        });
        poll->start(20);
    } else if (res.delayMs > 0) {
        QTimer::singleShot(res.delayMs, this, send);
    } else {
        send();
    }
}
