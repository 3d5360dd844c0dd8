#include "platform/http.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <climits>

namespace platform {

namespace {

QNetworkAccessManager& manager() {
    // Parented to the application so it goes away before Qt's own teardown.
    static QPointer<QNetworkAccessManager> nam;
    if (!nam) {
        nam = new QNetworkAccessManager(QCoreApplication::instance());
        nam->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    return *nam;
}

QUrl toUrl(const QString& address) {
    if (!address.contains(QStringLiteral("://"))) return QUrl::fromLocalFile(address);
    return QUrl(address, QUrl::TolerantMode);
}

HttpFailure failureOf(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::UnknownNetworkError:
        case QNetworkReply::BackgroundRequestNotAllowedError:
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyNotFoundError:
        case QNetworkReply::ProxyConnectionClosedError:
        case QNetworkReply::ProxyTimeoutError:
        case QNetworkReply::UnknownProxyError:
            return HttpFailure::NoConnection;
        case QNetworkReply::RemoteHostClosedError:
        case QNetworkReply::TimeoutError:
        // The request's own transfer limit ends it this way.
        case QNetworkReply::OperationCanceledError:
            return HttpFailure::NoAnswer;
        default:
            return HttpFailure::Other;
    }
}

// Waits for the reply with a bounded nested loop. The reply object carries all the state, so
// a handler that runs inside the wait cannot pull anything from under it.
HttpReply finish(QNetworkReply* reply, QDeadlineTimer deadline) {
    HttpReply result;
    if (!reply) {
        result.error = QStringLiteral("no request");
        result.failure = HttpFailure::InvalidAddress;
        return result;
    }
    if (!reply->isFinished() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        timer.start(int(qBound(qint64(0), deadline.remainingTime(), qint64(INT_MAX))));
        loop.exec(QEventLoop::AllEvents);
    }
    if (!reply->isFinished()) {
        result.error = QStringLiteral("time limit reached");
        result.failure = HttpFailure::NoAnswer;
        reply->abort();
    } else {
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const auto err = reply->error();
        // An error page is still a whole reply: its body goes back like any other.
        const bool httpLevel = err >= QNetworkReply::ContentAccessDenied &&
                               err != QNetworkReply::OperationCanceledError && result.status > 0;
        if (err == QNetworkReply::NoError || httpLevel) {
            result.complete = true;
            result.body = reply->readAll();
        } else {
            result.error = reply->errorString();
            result.failure = failureOf(err);
        }
    }
    reply->deleteLater();
    return result;
}

HttpReply finish(QNetworkReply* reply, int timeoutMs) {
    return finish(reply, QDeadlineTimer(timeoutMs));
}

}  // namespace

PendingHttp::PendingHttp(const QString& address, int timeoutMs) : own_(timeoutMs) {
    const QUrl url = toUrl(address);
    if (!url.isValid() || url.scheme().isEmpty()) {
        failed_.error = QStringLiteral("invalid address");
        failed_.failure = HttpFailure::InvalidAddress;
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    reply_ = manager().get(request);
}

PendingHttp::~PendingHttp() {
    if (!reply_) return;
    reply_->abort();
    reply_->deleteLater();
}

HttpReply PendingHttp::wait(QDeadlineTimer deadline) {
    if (!reply_) {
        HttpReply r = failed_;
        if (r.error.isEmpty()) r.error = QStringLiteral("no request");
        if (r.failure == HttpFailure::None) r.failure = HttpFailure::InvalidAddress;
        return r;
    }
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    return finish(reply, qMin(deadline, own_));
}

HttpReply httpGet(const QString& address, int timeoutMs) {
    return PendingHttp(address, timeoutMs).wait();
}

HttpReply httpPost(const QString& address, const QByteArray& body, const QString& headerText,
                   int timeoutMs) {
    const QUrl url = toUrl(address);
    if (!url.isValid() || url.scheme().isEmpty()) {
        HttpReply r;
        r.error = QStringLiteral("invalid address");
        r.failure = HttpFailure::InvalidAddress;
        return r;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    bool haveType = false;
    for (const QString& line : headerText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0) continue;
        const QByteArray name = line.left(colon).trimmed().toLatin1();
        const QByteArray value = line.mid(colon + 1).trimmed().toLatin1();
        if (name.compare("content-type", Qt::CaseInsensitive) == 0) haveType = true;
        request.setRawHeader(name, value);
    }
    if (!haveType)
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
    return finish(manager().post(request, body), timeoutMs);
}

bool downloadToFile(const QString& addressOrPath, const QString& filePath, int timeoutMs,
                    qint64 maxBytes) {
    QByteArray content;
    if (!addressOrPath.contains(QStringLiteral("://")) ||
        addressOrPath.startsWith(QStringLiteral("file://"), Qt::CaseInsensitive)) {
        const QString local = addressOrPath.contains(QStringLiteral("://"))
                                  ? QUrl(addressOrPath).toLocalFile()
                                  : addressOrPath;
        QFile in(local);
        const QFileInfo info(local);
        if (!info.isFile() || (maxBytes >= 0 && info.size() > maxBytes) ||
            !in.open(QIODevice::ReadOnly))
            return false;
        content = maxBytes >= 0 ? in.read(maxBytes + 1) : in.readAll();
    } else {
        const HttpReply reply = httpGet(addressOrPath, timeoutMs);
        if (!reply.complete || reply.status >= 400) return false;
        content = reply.body;
    }
    if (maxBytes >= 0 && content.size() > maxBytes) return false;
    QSaveFile out(filePath);
    if (!out.open(QIODevice::WriteOnly)) return false;
    if (out.write(content) != content.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

}  // namespace platform
