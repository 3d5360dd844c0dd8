#include "platform/webbrowser.h"

#include <QFileInfo>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
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
    applySettings();
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
        QObject::connect(p, &QWebEngineProfile::downloadRequested, p, &WebPage::saveDownload);
        PageDocument::installBridge(p);
        return p;
    }();
    return profile;
}

void WebPage::applySettings() {
    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // Pages come from strangers, and so do the boards and boxes put into them. A page shown
    // from a local file (the board preview, a file the user opens) may show itself and nothing
    // more: it reads no other file, its own folder's included, and reaches no web address, not
    // even by navigating or opening a window.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
}

namespace {
// A page saved as one file (MHTML) rather than as a page with its folder of parts.
bool isWebArchive(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("mht") || suffix == QLatin1String("mhtml");
}
}  // namespace

void WebPage::saveDownload(QWebEngineDownloadRequest* download) {
    auto* page = qobject_cast<WebPage*>(download->page());
    QWidget* parent = page ? page->dialogParent() : nullptr;
    const bool wholePage = download->isSavePageDownload();
    QString name = download->downloadFileName();
    if (wholePage && isWebArchive(name)) name = QFileInfo(name).completeBaseName() + ".htm";
    const QString path = saveFileDialog(
        wholePage ? QStringLiteral("保存页面") : QStringLiteral("另存为"),
        wholePage ? QStringLiteral("网页，全部|*.htm;*.html|Web 档案，单一文件|*.mht")
                  : QStringLiteral("所有文件|*"),
        download->downloadDirectory(), name, parent);
    if (path.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo target(path);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    if (wholePage)
        download->setSavePageFormat(isWebArchive(path)
                                        ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                                        : QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
    QPointer<QWidget> parentGuard(parent);
    QObject::connect(download, &QWebEngineDownloadRequest::isFinishedChanged, download,
                     [download, path, parentGuard] {
                         if (!download->isFinished() ||
                             download->state() == QWebEngineDownloadRequest::DownloadCompleted)
                             return;
                         messageBox(QStringLiteral("无法保存到 %1").arg(path), MsgButtons::Ok,
                                    QStringLiteral("提示"), MsgIcon::Warning, parentGuard);
                     });
    download->accept();
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

QString WebPage::progressPrefix() {
    return QStringLiteral("\x01pageBridge:");
}

// The console stays quiet; only the bridge's words go on.
void WebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                       const QString&) {
    if (message.startsWith(progressPrefix())) Q_EMIT callProgress(message);
}

// ---------------------------------------------------------------- WebBrowser

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // What shows while the page has no view: an empty white page.
    setAutoFillBackground(true);
    QPalette blank = palette();
    blank.setColor(QPalette::Window, Qt::white);
    setPalette(blank);
    usePage(new WebPage(this));
    attachView();
}

void WebBrowser::usePage(WebPage* page) {
    page_ = page;
    connect(page_, &QWebEnginePage::newWindowRequested, this, &WebBrowser::onNewWindow);
    connect(page_, &QWebEnginePage::windowCloseRequested, this, [this] {
        QPointer<WebBrowser> self(this);
        WebPage::deliverWhenIdle(this, [self] {
            if (self) Q_EMIT self->WindowClosing(self);
        });
    });
    connect(page_, &QWebEnginePage::printRequested, this, [this] {
        QPointer<WebBrowser> self(this);
        WebPage::deliverWhenIdle(this, [self] {
            if (self) self->printPage();
        });
    });
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
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &WebBrowser::showContextMenu);
    connect(view_, &QWebEngineView::printFinished, this, [this](bool ok) {
        printer_.reset();
        if (!ok)
            messageBox(QStringLiteral("打印失败"), MsgButtons::Ok, QStringLiteral("提示"),
                       MsgIcon::Warning, window());
    });
    layout()->addWidget(view_);
    if (std::exchange(printWhenShown_, false)) printPage();
}

// The toolkit's menu, with the print a browser's menu has. Its page source would come in a new
// window, which takes the place of this page (or is blocked): it is not offered.
void WebBrowser::showContextMenu(const QPoint& position) {
    if (!view_) return;
    QMenu* menu = view_->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->removeAction(page_->action(QWebEnginePage::ViewSource));
    menu->addSeparator();
    QAction* print = menu->addAction(QStringLiteral("打印(&P)..."));
    connect(print, &QAction::triggered, this, &WebBrowser::printPage);
    menu->popup(view_->mapToGlobal(position));
}

void WebBrowser::printPage() {
    if (printer_) return;
    if (!view_) {
        printWhenShown_ = true;
        return;
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!printDialog(printer.get(), window())) return;
    // The printer lives until the engine has finished with it (printFinished).
    printer_ = std::move(printer);
    view_->print(printer_.get());
}

namespace {

// How long a page may leave a navigation away from it unanswered before its renderer counts as
// stuck in a script.
constexpr int kStuckAfterMs = 1000;
// A window handed over by a new-window request gets its view only after Qt's batched settings
// update (a zero-interval timer) has given the window the page's preferences: the first paint
// of a written window reads them, and without them the engine crashes. A timer of its own, not
// a queued call, so that it comes after that one.
constexpr int kViewAfterSettingsMs = 20;
// Nor does it get its view before its first load (the written window's empty document, or the
// address it was opened with) has ended: a view given while that navigation is about to start
// stays blank for good, on a busy machine a few times in a hundred. A load that takes longer
// than this shows while it comes in, as any page does; by then it is well under way.
constexpr int kViewAtTheLatestMs = 1500;

const QString kForgetNameScript = QStringLiteral("forgetWindowName");

}  // namespace

// The window of a page's new-window request comes into a fresh page of this control, one that
// never had a view. The page's own engine side is made first, the window taken over, and the
// page's settings applied once more: that sends the engine's preferences to the window taken
// over, which otherwise never gets them (it was made by the renderer, not by the page). The view
// comes after.
void WebBrowser::adoptNewWindow(QWebEngineNewWindowRequest& request) {
    delete view_;
    view_ = nullptr;
    WebPage* old = page_;
    disconnect(old, nullptr, this, nullptr);
    WebPage::deleteWhenIdle(old);
    forgetsName_ = false;
    forgetLoadStarted_ = false;
    usePage(new WebPage(this));
    page_->triggerAction(QWebEnginePage::Stop);
    // Whatever the control was loading ends here: the page takes the new window's contents.
    everNavigated_ = true;
    requested_ = true;
    loading_ = 0;
    commitPending_ = false;
    viewAwaitsSettings_ = true;
    viewAwaitsFirstLoad_ = true;
    request.openIn(page_);
    page_->applySettings();
    QPointer<WebBrowser> self(this);
    WebPage* adopted = page_;
    QTimer::singleShot(kViewAfterSettingsMs, this, [self, adopted] {
        if (!self || self->page_ != adopted) return;
        self->viewAwaitsSettings_ = false;
        self->attachViewWhenReady();
    });
    QTimer::singleShot(kViewAtTheLatestMs, this, [self, adopted] {
        if (!self || self->page_ != adopted) return;
        self->viewAwaitsFirstLoad_ = false;
        self->attachViewWhenReady();
    });
}

void WebBrowser::attachViewWhenReady() {
    if (!viewAwaitsSettings_ && !viewAwaitsFirstLoad_) attachView();
}

void WebBrowser::discardPage() {
    if (!everNavigated_) return;
    delete view_;
    view_ = nullptr;
    WebPage* old = page_;
    disconnect(old, nullptr, this, nullptr);
    WebPage::deleteWhenIdle(old);
    everNavigated_ = false;
    requested_ = false;
    loading_ = 0;
    commitPending_ = false;
    forgetsName_ = false;
    forgetLoadStarted_ = false;
    afterKill_ = nullptr;
    recovery_ = Recovery::None;
    usePage(new WebPage(this));
    attachView();
}

// A name a page gave this window (window.open(address, name)) goes with the navigations the
// program starts: a later window.open(..., name) would otherwise land in whatever the user has
// gone on to, past the new-window mode. The document of such a load starts nameless.
void WebBrowser::forgetWindowName() {
    if (!forgetsName_) {
        QWebEngineScript forget;
        forget.setName(kForgetNameScript);
        forget.setInjectionPoint(QWebEngineScript::DocumentCreation);
        forget.setWorldId(QWebEngineScript::MainWorld);
        forget.setRunsOnSubFrames(false);
        forget.setSourceCode(QStringLiteral("window.name = '';"));
        page_->scripts().insert(forget);
    }
    forgetsName_ = true;
    forgetLoadStarted_ = false;
}

// Once that load has ended, the documents that follow keep what names pages give them.
void WebBrowser::keepWindowName() {
    QWebEngineScriptCollection& scripts = page_->scripts();
    for (const QWebEngineScript& s : scripts.find(kForgetNameScript)) scripts.remove(s);
    forgetsName_ = false;
    forgetLoadStarted_ = false;
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
    forgetWindowName();
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
    const QUrl url = page_->url();
    // A window opened without an address shows its first, empty document, which the engine
    // reports without one.
    if (url.isEmpty()) return everNavigated_ ? QStringLiteral("about:blank") : QString();
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
    Q_EMIT NewWindow2(this, &r);
    // The handler may have unloaded this control: that only hides it until the event loop
    // turns again, so the request can still be answered.
    if (r.cancel || !r.target || r.target == this || !r.target->page_) return;
    // A window opened by a page that has no view yet (one that has just taken over a window
    // itself) crashes the engine once it gets a view of its own, unless the page that opened
    // it has one by then. The asking control is hidden or going by now: its view paints nothing.
    attachView();
    r.target->adoptNewWindow(request);
}

void WebBrowser::onLoading(const QWebEngineLoadingInfo& info) {
    using L = QWebEngineLoadingInfo;
    if (info.status() == L::LoadStartedStatus) {
        if (recovery_ == Recovery::ActionRan) recovery_ = Recovery::None;
        requested_ = false;
        ++loading_;
        commitPending_ = true;
        if (forgetsName_) forgetLoadStarted_ = true;
        return;
    }
    loading_ = qMax(0, loading_ - 1);
    if (loading_ == 0) requested_ = false;
    if (std::exchange(viewAwaitsFirstLoad_, false)) attachViewWhenReady();
    if (forgetLoadStarted_ && loading_ == 0) keepWindowName();
    // Nothing came of a load that failed with the stuck renderer ended for the next. A load
    // that succeeded meanwhile (a busy renderer taken for a stuck one) has its document.
    if (recovery_ != Recovery::None && info.status() != L::LoadSucceededStatus) return;
    // Stopped, or given up for another navigation or a download: no document came of it.
    // When nothing else is on its way, the navigation has ended all the same.
    constexpr int kAborted = -3;
    if (info.status() == L::LoadStoppedStatus || info.errorCode() == kAborted) {
        if (loading_ > 0 || requested_) return;
        const QString address = QString::fromLatin1(info.url().toEncoded());
        QPointer<WebBrowser> self(this);
        WebPage::deliverWhenIdle(this, [self, address] {
            if (self) Q_EMIT self->NavigateError(self, address, kAborted);
        });
        return;
    }
    ++documentsDone_;

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
    connect(wb, &WebBrowser::WindowClosing, this,
            [this, index](WebBrowser*) { Q_EMIT WindowClosing(index); });
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
