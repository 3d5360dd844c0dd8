#include "workbench/site.h"

#include <QFileInfo>

#include "library/ini.h"
#include "platform/core/clock.h"
#include "platform/core/programfolder.h"
#include "platform/http.h"

namespace Site {

namespace {

const QString kSection = QStringLiteral("site");

QString siteFile() {
    return platform::programFile(QStringLiteral("site.ini"));
}

// Reading a key of a missing INI file would create it; the site file is only ever read.
QString setting(const QString& key) {
    const QString file = siteFile();
    if (!QFileInfo(file).isFile()) return {};
    return INIread::readIniValue(file, kSection, key).trimmed();
}

QString host(const QString& key, const QString& fallback) {
    QString value = setting(key);
    while (value.endsWith(QLatin1Char('/'))) value.chop(1);
    return value.isEmpty() ? fallback : value;
}

}  // namespace

// Reserved names that never resolve: a deployment names its real hosts in site.ini.
QString defaultForumHost() {
    return QStringLiteral("http://bbs.velmora.example");
}
QString defaultMainHost() {
    return QStringLiteral("http://www.velmora.example");
}

QString forumHost() {
    return host(QStringLiteral("forumHost"), defaultForumHost());
}
QString mainHost() {
    return host(QStringLiteral("mainHost"), defaultMainHost());
}

int requestTimeoutMs() {
    bool ok = false;
    const int value = setting(QStringLiteral("requestTimeoutMs")).toInt(&ok);
    if (!ok) return platform::kDefaultRequestTimeoutMs;
    return qBound(100, value, 120000);
}

QString pluginListAddress() {
    return forumHost() + QStringLiteral("/plugin.txt?d=") + platform::dateText();
}

QString versionFileAddress() {
    return mainHost() + QStringLiteral("/Velmora/download/TolvarVersion.txt?d=") +
           platform::dateText();
}

QString forumPageAddress() {
    return forumHost() + QStringLiteral("/bbs/") + platform::dateTimeText();
}

QString statisticsPageAddress() {
    return mainHost() + QStringLiteral("/total.htm?t=") + platform::dateTimeText();
}

QString shareAddress() {
    return mainHost() + QStringLiteral("/Velmora/script/share.asp");
}

QString searchAddress() {
    return mainHost() + QStringLiteral("/Velmora/script/search.asp");
}

QString downloadAddress(const QString& kind, const QString& id) {
    return mainHost() + QStringLiteral("/Velmora/script/download.asp?kind=") + kind +
           QStringLiteral("&id=") + id;
}

QString failureText(const platform::HttpReply& reply) {
    if (reply.complete) {
        if (reply.status < 400) return {};
        return QStringLiteral("网站出错(HTTP %1)").arg(reply.status);
    }
    switch (reply.failure) {
        case platform::HttpFailure::NoAnswer:
            return QStringLiteral("网站没有回应(等待超时或连接被中断)");
        case platform::HttpFailure::Other:
            return QStringLiteral("与网站的通信出错");
        default:
            return QStringLiteral("无法连接到网站(没有网络,或网站不存在)");
    }
}

}  // namespace Site
