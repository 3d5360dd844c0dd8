#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/http.h"

// The two small text files the workbench fetches from the maker's web site: the plug-in list
// (into ScriptModule::pluginCollection) and the version file (into the update window).
namespace SiteText {

// Synchronous HTTP GET; the reply body decoded in charset, or the empty text on any failure.
// The status code is not looked at: an error page's body comes back like any other. The time
// limit is the site's (Site::requestTimeoutMs), shortened to what is left of a running
// RequestBudget.
QString getHttpText(const QString& address, const QString& charset);

// The bytes as text in charset; empty when the charset is unknown (the caller then treats the
// reply as unreadable). "GB2312" is read as its superset GBK, as the desktop platform does.
std::optional<QString> bytesToText(const QByteArray& bytes, const QString& charset);

// Replaces the plug-in list with the lines of the forum host's plugin.txt, split at CR LF,
// empty pieces included (an empty reply gives an empty list).
void loadPluginList();

// Fetches the main host's version file and hands its first two lines to the update window,
// which shows. A reply of fewer than two lines (no network, an empty or one-line reply) shows
// nothing and gives false: the caller decides whether to tell the user, and why, when given,
// says in words for the user what went wrong (no connection, no answer in time, a reply that
// is no version file).
bool checkNewVersion(QString* why = nullptr);

// A text request under way: sent when made, so that several go out at once; text() waits
// for it as getHttpText would, and at most until the deadline.
class TextRequest {
  public:
    TextRequest(const QString& address, const QString& charset);
    QString text(QDeadlineTimer deadline);

  private:
    platform::PendingHttp http_;
    QString charset_;
};

// The effects of the two replies, as loadPluginList and checkNewVersion have them.
void setPluginList(const QString& replyText);
bool showNewVersion(const QString& replyText);

// While one lives, all requests of getHttpText together take at most totalMs: the start-up
// uses it so that a slow or dead site cannot hold the first window for more than one time
// limit. Once it is spent, further requests give the empty text at once. Budgets do not nest.
class RequestBudget {
  public:
    explicit RequestBudget(int totalMs);
    ~RequestBudget();
    RequestBudget(const RequestBudget&) = delete;
    RequestBudget& operator=(const RequestBudget&) = delete;
    int remainingMs() const;

  private:
    qint64 deadline_;
};

}  // namespace SiteText
