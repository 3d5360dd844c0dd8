#include "workbench/sitetext.h"

#include <QDeadlineTimer>
#include <QStringDecoder>
#include <QStringList>
#include <climits>

#include "library/plugins.h"
#include "platform/core/ansi.h"
#include "platform/http.h"
#include "workbench/site.h"
#include "workbench/updatewndform.h"

namespace SiteText {

namespace {

const RequestBudget* activeBudget = nullptr;

QStringList splitAtCrLf(const QString& text) {
    // An empty text has no pieces at all; anything else has one more piece than CR LF pairs.
    if (text.isEmpty()) return {};
    return text.split(QStringLiteral("\r\n"), Qt::KeepEmptyParts);
}

}  // namespace

RequestBudget::RequestBudget(int totalMs)
    : deadline_(QDeadlineTimer::current().deadline() + qMax(0, totalMs)) {
    activeBudget = this;
}

RequestBudget::~RequestBudget() {
    if (activeBudget == this) activeBudget = nullptr;
}

int RequestBudget::remainingMs() const {
    const qint64 left = deadline_ - QDeadlineTimer::current().deadline();
    return int(qBound(qint64(0), left, qint64(INT_MAX)));
}

std::optional<QString> bytesToText(const QByteArray& bytes, const QString& charset) {
    const QString name = charset.trimmed().toLower();
    if (name == QLatin1String("gb2312") || name == QLatin1String("gbk") ||
        name == QLatin1String("cp936") || name == QLatin1String("x-gbk"))
        return platform::fromAnsi(bytes);
    QStringDecoder decoder(name.toLatin1().constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) return std::nullopt;
    return QString(decoder.decode(bytes));
}

namespace {

QString fetchText(const QString& address, const QString& charset, platform::HttpReply* got) {
    int limit = Site::requestTimeoutMs();
    if (activeBudget) {
        limit = qMin(limit, activeBudget->remainingMs());
        if (limit <= 0) {
            if (got) got->failure = platform::HttpFailure::NoAnswer;
            return {};
        }
    }
    const platform::HttpReply reply = platform::httpGet(address, limit);
    if (got) *got = reply;
    if (!reply.complete) return {};
    return bytesToText(reply.body, charset).value_or(QString());
}

}  // namespace

QString getHttpText(const QString& address, const QString& charset) {
    return fetchText(address, charset, nullptr);
}

TextRequest::TextRequest(const QString& address, const QString& charset)
    : http_(address, Site::requestTimeoutMs()), charset_(charset) {}

QString TextRequest::text(QDeadlineTimer deadline) {
    const platform::HttpReply reply = http_.wait(deadline);
    if (!reply.complete) return {};
    return bytesToText(reply.body, charset_).value_or(QString());
}

void setPluginList(const QString& replyText) {
    ScriptModule::setPluginCollection(splitAtCrLf(replyText));
}

bool showNewVersion(const QString& replyText) {
    const QStringList pieces = splitAtCrLf(replyText);
    if (pieces.size() < 2) return false;
    UpdateWndForm::instance().setData(pieces.at(0), pieces.at(1));
    return true;
}

void loadPluginList() {
    setPluginList(getHttpText(Site::pluginListAddress(), QStringLiteral("GB2312")));
}

bool checkNewVersion(QString* why) {
    platform::HttpReply reply;
    const QString text = fetchText(Site::versionFileAddress(), QStringLiteral("GB2312"), &reply);
    if (showNewVersion(text)) return true;
    if (why)
        *why = !reply.complete || reply.status >= 400 ? Site::failureText(reply)
                                                      : QStringLiteral("网站的版本信息不完整");
    return false;
}

}  // namespace SiteText
