#include "platform/webbrowser.h"

#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>
#include <utility>

#include "platform/appinit.h"
#include "platform/dialogs.h"
#include "platform/form.h"

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace platform {

namespace {

const QString kPageDialogTitle = QStringLiteral("来自网页的消息");

// Chromium silently ignores what it cannot parse as an address, which would leave a caller
// waiting for events that never come; such addresses are failed here instead.
bool engineRefuses(const QUrl& url) {
    if (!url.isValid() || url.scheme().isEmpty()) return true;
    static const QStringList needHost = {"http", "https", "ftp", "ws", "wss"};
    return needHost.contains(url.scheme().toLower()) && url.host().isEmpty();
}

// What the browser control does with an address typed without a scheme
// ("www.example.com", a local path): it completes it itself.
QUrl addressUrl(const QString& address) {
    QUrl url(address);
    if (url.scheme().isEmpty() && !address.trimmed().isEmpty()) url = QUrl::fromUserInput(address);
    return url;
}

}  // namespace

// ---------------------------------------------------------------- WebPage

WebPage::WebPage(WebBrowser* owner) : QWebEnginePage(sharedProfile(), owner), owner_(owner) {
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& i) {
        // A finished document means the renderer is working again.
        if (i.status() == QWebEngineLoadingInfo::LoadSucceededStatus) unresponsive_ = false;
    });
    connect(this, &QWebEnginePage::renderProcessTerminated, this,
            [this] { unresponsive_ = false; });
}

QWebEngineProfile* WebPage::sharedProfile() {
    // Qt's default profile is off the record; it lives as long as the engine does, so no page
    // can outlive it at shutdown.
    static QWebEngineProfile* profile = [] {
        QWebEngineProfile* p = QWebEngineProfile::defaultProfile();
        p->setHttpCacheType(QWebEngineProfile::NoCache);
        // Sites answer in Chinese, as they do for the programs' users.
        p->setHttpAcceptLanguage(acceptLanguage());
        // Pages come from strangers, and so do the boards and boxes put into them. A page
        // shown from a local file (the board preview, a file the user opens) may show itself
        // and nothing more: it reads no other file, its own folder's included, and reaches no
        // web address, not even by navigating or opening a window. Every page of the process
        // lives in this profile, those handed over by new-window requests too.
        QWebEngineSettings* s = p->settings();
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        return p;
    }();
    return profile;
}

void WebPage::markUnresponsive() {
    if (unresponsive_) return;
    unresponsive_ = true;
    // Ask again in the background: the first answer clears the mark.
    QPointer<WebPage> self(this);
    runJavaScript(QStringLiteral("1"), QWebEngineScript::MainWorld, [self](const QVariant& v) {
        if (self && v.isValid()) self->noteAnswer();
    });
}

void WebPage::terminateRenderer() {
#ifdef Q_OS_UNIX
    const qint64 pid = renderProcessPid();
    if (pid > 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
#endif
}

namespace {
int gWaitDepth = 0;
QList<QPointer<QObject>>& heldBack() {
    static QList<QPointer<QObject>> list;
    return list;
}
struct HeldEvent {
    QPointer<QObject> context;
    std::function<void()> event;
};
QList<HeldEvent>& heldEvents() {
    static QList<HeldEvent> list;
    return list;
}
void runOrHold(const QPointer<QObject>& context, const std::function<void()>& event) {
    if (!context) return;
    if (gWaitDepth > 0)
        heldEvents().append({context, event});
    else
        event();
}
void post(const QPointer<QObject>& context, const std::function<void()>& event) {
    QTimer::singleShot(0, context.data(), [context, event] { runOrHold(context, event); });
}
}  // namespace

void WebPage::deliverWhenIdle(QObject* context, std::function<void()> event) {
    if (context) post(QPointer<QObject>(context), event);
}

void WebPage::deleteWhenIdle(QObject* object) {
    if (!object) return;
    if (gWaitDepth == 0)
        object->deleteLater();
    else
        heldBack().append(object);
}

void WebPage::enterWait() {
    ++gWaitDepth;
}

void WebPage::leaveWait() {
    if (--gWaitDepth > 0) return;
    const QList<HeldEvent> events = std::exchange(heldEvents(), {});
    for (const HeldEvent& e : events)
        if (e.context) post(e.context, e.event);
    const QList<QPointer<QObject>> objects = std::exchange(heldBack(), {});
    for (const QPointer<QObject>& o : objects)
        if (o) o->deleteLater();
}

QWidget* WebPage::dialogParent() const {
    return owner_ ? owner_->window() : nullptr;
}

void WebPage::javaScriptAlert(const QUrl&, const QString& msg) {
    ++dialogDepth_;
    messageBox(msg, MsgButtons::Ok, kPageDialogTitle, MsgIcon::Warning, dialogParent());
    --dialogDepth_;
}

bool WebPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    ++dialogDepth_;
    const MsgAnswer a =
        messageBox(msg, MsgButtons::OkCancel, kPageDialogTitle, MsgIcon::Question, dialogParent());
    --dialogDepth_;
    return a == MsgAnswer::Ok;
}

bool WebPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                               QString* result) {
    ++dialogDepth_;
    const QString text = inputBox(msg, kPageDialogTitle, defaultValue, dialogParent());
    --dialogDepth_;
    // The input box gives the empty text for cancel; the page then sees null.
    if (text.isEmpty()) return false;
    if (result) *result = text;
    return true;
}

void WebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                       const QString&) {}

// ---------------------------------------------------------------- WebBrowser

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // What shows while the page has no view: an empty white page.
    setAutoFillBackground(true);
    QPalette blank = palette();
    blank.setColor(QPalette::Window, Qt::white);
    setPalette(blank);
    page_ = new WebPage(this);
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    attachView();

    connect(page_, &QWebEnginePage::newWindowRequested, this, &WebBrowser::onNewWindow);
    connect(page_, &QWebEnginePage::loadingChanged, this, &WebBrowser::onLoading);
    connect(page_, &QWebEnginePage::urlChanged, this, &WebBrowser::onUrlChanged);
    connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this] {
        if (auto action = std::exchange(afterKill_, nullptr)) runAfterKill(action);
    });
}

void WebBrowser::attachView() {
    if (view_) return;
    view_ = new QWebEngineView(this);
    view_->setPage(page_);
    layout()->addWidget(view_);
}

namespace {

bool isBlankAddress(const QUrl& url) {
    return url.isEmpty() ||
           (url.scheme() == QLatin1String("about") && url.path() == QLatin1String("blank"));
}

// Run in the new window's empty document, after the script that opened it has finished (the
// two share one renderer thread): the document's markup once something has been written into
// it, 0 while it is still untouched. (Its address tells nothing: document.open() gives it the
// opener's.) A navigation of the window ends the watch from the browser side (onLoading).
const char* const kBlankProbe = R"JS(
(function () {
  var d = document, e = d.documentElement;
  if (!e) return 0;
  var html = e.outerHTML;
  if (html === '<html><head></head><body></body></html>' && !d.doctype) return 0;
  return (d.doctype ? '<!DOCTYPE ' + d.doctype.name + '>' : '') + html;
})()
)JS";

constexpr int kBlankWatchMs = 250;
// How long a page may leave a navigation away from it unanswered before its renderer counts as
// stuck in a script.
constexpr int kStuckAfterMs = 1000;
// setHtml() hands the document over as a data: address, which the engine takes up to 2 MB.
constexpr int kMaxTakeOverBytes = 2 * 1024 * 1024 - 64;

}  // namespace

void WebBrowser::takeNewWindow(bool blankWindow, const QUrl& openerUrl) {
    // The view goes before the page takes the new window over; it comes back with the first
    // document that is the window's own (onLoading).
    if (view_) {
        delete view_;
        view_ = nullptr;
    }
    blankWindow_ = blankWindow;
    showsBlank_ = blankWindow;
    takeoverPending_ = false;
    takeoverLoading_ = false;
    openerUrl_ = openerUrl;
    if (blankWindow) watchBlankWindow(0);
}

void WebBrowser::watchBlankWindow(int delayMs) {
    QPointer<WebBrowser> self(this);
    QTimer::singleShot(delayMs, this, [self] {
        if (!self || !self->blankWindow_ || self->view_) return;
        self->page_->runJavaScript(QString::fromUtf8(kBlankProbe),
                                   QWebEngineScript::ApplicationWorld, [self](const QVariant& v) {
                                       if (!self || !self->blankWindow_ || self->view_) return;
                                       if (v.typeId() == QMetaType::QString)
                                           self->takeOverBlankDocument(v.toString());
                                       else
                                           self->watchBlankWindow(kBlankWatchMs);
                                   });
    });
}

void WebBrowser::takeOverBlankDocument(const QString& html) {
    blankWindow_ = false;
    // Too big to hand over: the window stays as it is, shown empty, rather than risk the view.
    if (QUrl::toPercentEncoding(html).size() > kMaxTakeOverBytes) return;
    takeoverPending_ = true;
    page_->setHtml(html, openerUrl_.isValid() && !openerUrl_.isEmpty()
                             ? openerUrl_
                             : QUrl(QStringLiteral("about:blank")));
}

WebBrowser::~WebBrowser() {
    // The view must let go of the page before the page goes.
    delete view_;
    view_ = nullptr;
    delete page_;
    page_ = nullptr;
}

// A renderer stuck in a page script never lets a navigation commit: it is ended first, and the
// action runs once it is gone (or after a short while, should the engine not report the end).
// A page not yet known to be stuck is asked at once: when it neither answers nor lets the
// navigation through within a second, it is stuck, and the same happens then.
void WebBrowser::recoverThen(std::function<void()> action) {
    if (!page_->isUnresponsive()) {
        const qint64 renderer = page_->renderProcessPid();
        action();
        if (renderer <= 0) return;  // no page yet that could be stuck
        auto answered = std::make_shared<bool>(false);
        const int documents = documentsDone_;
        page_->runJavaScript(QStringLiteral("1"), QWebEngineScript::MainWorld,
                             [answered](const QVariant&) { *answered = true; });
        QPointer<WebBrowser> self(this);
        QTimer::singleShot(kStuckAfterMs, this, [self, answered, documents, renderer, action] {
            // Answered, through, or gone on in another renderer: nothing is stuck.
            if (!self || *answered || self->documentsDone_ != documents ||
                self->page_->renderProcessPid() != renderer || self->page_->isUnresponsive())
                return;
            self->page_->markUnresponsive();
            self->recoverThen(action);
        });
        return;
    }
    recovery_ = Recovery::Killing;
    afterKill_ = std::move(action);
    page_->terminateRenderer();
    QPointer<WebBrowser> self(this);
    QTimer::singleShot(2000, this, [self] {
        if (!self) return;
        if (auto pending = std::exchange(self->afterKill_, nullptr)) self->runAfterKill(pending);
    });
}

void WebBrowser::runAfterKill(const std::function<void()>& action) {
    recovery_ = Recovery::ActionRan;
    action();
}

void WebBrowser::load(const QUrl& url) {
    everNavigated_ = true;
    requested_ = true;
    QPointer<WebPage> page(page_);
    recoverThen([page, url] {
        if (page) page->load(url);
    });
}

void WebBrowser::Navigate(const QString& address) {
    const QUrl url = addressUrl(address);
    if (engineRefuses(url)) {
        failInvalid(address);
        return;
    }
    load(url);
}

void WebBrowser::failInvalid(const QString& address) {
    // The page stays as it is; the caller learns of the failure like of any other, from the
    // window's own event loop.
    QPointer<WebBrowser> self(this);
    WebPage::deliverWhenIdle(this, [self, address] {
        if (self) Q_EMIT self->NavigateError(self, address, -300);  // net::ERR_INVALID_URL
    });
}

void WebBrowser::GoBack() {
    QPointer<WebPage> page(page_);
    recoverThen([page] {
        if (page) page->triggerAction(QWebEnginePage::Back);
    });
}

void WebBrowser::GoForward() {
    QPointer<WebPage> page(page_);
    recoverThen([page] {
        if (page) page->triggerAction(QWebEnginePage::Forward);
    });
}

void WebBrowser::Refresh() {
    QPointer<WebPage> page(page_);
    recoverThen([page] {
        if (page) page->triggerAction(QWebEnginePage::Reload);
    });
}

void WebBrowser::Stop() {
    requested_ = false;
    page_->triggerAction(QWebEnginePage::Stop);
}

QString WebBrowser::LocationURL() const {
    if (showsBlank_) return QStringLiteral("about:blank");
    const QUrl url = page_->url();
    if (url.isEmpty()) return QString();
    return QString::fromLatin1(url.toEncoded());
}

int WebBrowser::ReadyState() const {
    if (requested_ || loading_ > 0) return 1;
    return everNavigated_ ? 4 : 0;
}

PageDocument WebBrowser::Document(PageResult* result) const {
    return PageDocument::of(page_, result);
}

int WebBrowser::Left() const {
    return twips(x());
}
int WebBrowser::Top() const {
    return twips(y());
}
int WebBrowser::Width() const {
    return twips(width());
}
int WebBrowser::Height() const {
    return twips(height());
}
void WebBrowser::setLeft(int tw) {
    move(px(tw), y());
}
void WebBrowser::setTop(int tw) {
    move(x(), px(tw));
}
void WebBrowser::setWidth(int tw) {
    resize(qMax(0, px(tw)), height());
}
void WebBrowser::setHeight(int tw) {
    resize(width(), qMax(0, px(tw)));
}

void WebBrowser::onNewWindow(QWebEngineNewWindowRequest& request) {
    NewWindowRequest r;
    r.url = QString::fromLatin1(request.requestedUrl().toEncoded());
    r.userInitiated = request.isUserInitiated();
    QPointer<WebBrowser> self(this);
    const QUrl openerUrl = page_->url();
    Q_EMIT NewWindow2(this, &r);
    // The handler may have unloaded this control: that only hides it until the event loop
    // turns again, so the request can still be answered.
    if (r.cancel || !r.target || r.target == this || !r.target->page_) return;
    r.target->takeNewWindow(isBlankAddress(request.requestedUrl()), openerUrl);
    // The target's own load, if any, ends here: its page takes the new window's contents.
    r.target->everNavigated_ = true;
    r.target->requested_ = true;
    r.target->loading_ = 0;
    r.target->commitPending_ = false;
    request.openIn(r.target->page_);
}

void WebBrowser::onLoading(const QWebEngineLoadingInfo& info) {
    using L = QWebEngineLoadingInfo;
    if (info.status() == L::LoadStartedStatus) {
        if (recovery_ == Recovery::ActionRan) recovery_ = Recovery::None;
        requested_ = false;
        ++loading_;
        commitPending_ = true;
        if (takeoverPending_) {
            takeoverPending_ = false;
            takeoverLoading_ = true;
        } else if (!isBlankAddress(info.url())) {
            // Off to a document of its own: the watch of the empty one ends.
            blankWindow_ = false;
            showsBlank_ = false;
            takeoverLoading_ = false;
        }
        return;
    }
    loading_ = qMax(0, loading_ - 1);
    if (loading_ == 0) requested_ = false;
    // Stopped, or given up for another navigation or a download: no document came of it.
    // Nor did one come of a load that failed with the stuck renderer ended for the next. A
    // load that succeeded meanwhile (a busy renderer taken for a stuck one) has its document.
    constexpr int kAborted = -3;
    if (info.status() == L::LoadStoppedStatus || info.errorCode() == kAborted ||
        (recovery_ != Recovery::None && info.status() != L::LoadSucceededStatus))
        return;
    ++documentsDone_;
    // A document of its own is there (the first, empty one never gets here with an address
    // other than about:blank): now the page may have its view.
    if (!view_ && (takeoverLoading_ || !isBlankAddress(info.url()))) attachView();
    takeoverLoading_ = false;

    const QString url = LocationURL();
    const bool succeeded = info.status() == L::LoadSucceededStatus;
    const bool commit = commitPending_;
    commitPending_ = false;
    const int code =
        info.errorDomain() == L::HttpStatusCodeDomain || info.errorDomain() == L::NoErrorDomain
            ? info.errorCode()
            : -qAbs(info.errorCode());
    // Handlers run from the event loop, outside the engine's callback, so they may wait on the
    // page, destroy this control or navigate again.
    QPointer<WebBrowser> self(this);
    WebPage::deliverWhenIdle(this, [self, url, succeeded, commit, code] {
        if (!self) return;
        if (commit && succeeded) Q_EMIT self->NavigateComplete2(self, url);
        if (!succeeded) Q_EMIT self->NavigateError(self, url, code);
        // An error page, the server's or the engine's, is a document too.
        if (self) Q_EMIT self->DocumentComplete(self, url);
    });
}

void WebBrowser::onUrlChanged() {
    if (loading_ > 0 && commitPending_) {
        commitPending_ = false;
        const QString url = LocationURL();
        QPointer<WebBrowser> self(this);
        WebPage::deliverWhenIdle(this, [self, url] {
            if (self) Q_EMIT self->NavigateComplete2(self, url);
        });
    } else if (loading_ == 0) {
        // A move within the same document (an anchor) starts no load.
        requested_ = false;
    }
}

// ---------------------------------------------------------------- BrowserArray

BrowserArray::BrowserArray(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

BrowserArray::~BrowserArray() = default;

WebBrowser* BrowserArray::element(int index) const {
    const auto it = elements_.constFind(index);
    return it == elements_.cend() ? nullptr : it->data();
}

QList<int> BrowserArray::indexes() const {
    QList<int> out;
    for (auto it = elements_.cbegin(); it != elements_.cend(); ++it)
        if (*it) out << it.key();
    return out;
}

WebBrowser* BrowserArray::loadElement(int index, QWidget* parent) {
    if (index < -32768 || index > 32767 || exists(index)) return nullptr;
    auto* wb = new WebBrowser(parent);
    wb->setObjectName(name_);
    wb->index_ = index;
    wb->hide();
    elements_.insert(index, wb);
    connect(wb, &QObject::destroyed, this, [this, index, wb] {
        const auto it = elements_.find(index);
        if (it != elements_.end() && (it->isNull() || it->data() == wb)) elements_.erase(it);
    });
    connect(wb, &WebBrowser::NewWindow2, this,
            [this, index](WebBrowser*, NewWindowRequest* r) { Q_EMIT NewWindow2(index, r); });
    connect(
        wb, &WebBrowser::DocumentComplete, this,
        [this, index](WebBrowser*, const QString& url) { Q_EMIT DocumentComplete(index, url); });
    connect(wb, &WebBrowser::NavigateComplete2, this,
            [this, index](WebBrowser*, const QString& u) { Q_EMIT NavigateComplete2(index, u); });
    connect(wb, &WebBrowser::NavigateError, this,
            [this, index](WebBrowser*, const QString& url, int code) {
                Q_EMIT NavigateError(index, url, code);
            });
    return wb;
}

bool BrowserArray::unloadElement(int index) {
    WebBrowser* wb = element(index);
    if (!wb) return false;
    elements_.remove(index);
    // Events already queued for it must not reach the window under its old index.
    disconnect(wb, nullptr, this, nullptr);
    wb->hide();
    WebPage::deleteWhenIdle(wb);
    return true;
}

}  // namespace platform
