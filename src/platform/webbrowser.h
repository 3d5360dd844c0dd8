#pragma once

#include <QMap>
#include <QPointer>
#include <QString>
#include <QWebEnginePage>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/pagedocument.h"

class QPrinter;
class QWebEngineView;
class QWebEngineProfile;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWebEngineDownloadRequest;

namespace platform {

class WebBrowser;

// A page's request for a new window, as the NewWindow2 handlers see it. A handler sets
// `cancel`, or hands over another control in `target`: the new window's page then opens in
// that control. A request left with neither is refused, so no page ever opens a window that
// nobody shows.
struct NewWindowRequest {
    QString url;  // the address asked for; may be empty (window.open() without one)
    bool userInitiated = false;
    bool cancel = false;
    WebBrowser* target = nullptr;
};

// The page of one browser control. Page dialogs go through the platform's message boxes
// (title "来自网页的消息"), console output is kept quiet, and the state of the synchronous
// bridge of PageDocument (open dialogs, an unresponsive renderer) lives here.
class WebPage : public QWebEnginePage {
    Q_OBJECT
  public:
    explicit WebPage(WebBrowser* owner);
    WebBrowser* owner() const { return owner_; }

    // One profile for every control of the process: off the record, without HTTP cache, so
    // every navigation fetches the page afresh.
    static QWebEngineProfile* sharedProfile();
    // The settings every page gets when it is made; applied again to one that has taken over
    // a new window.
    void applySettings();

    // ---- used by PageDocument ----
    int dialogDepth() const { return dialogDepth_; }
    bool isUnresponsive() const { return unresponsive_; }
    void markUnresponsive();
    void noteAnswer() { unresponsive_ = false; }
    // Ends the render process of a page stuck in a script, so that it can load again.
    void terminateRenderer();

    // Synchronous page calls wait in a nested event loop, and Qt deletes objects whose
    // deleteLater() was called inside that loop before it ends: a control unloaded by a handler
    // that ran during a call (a page opening a window from execScript) would vanish under the
    // caller's feet. Deletion is therefore held back until the outermost wait is over.
    static void deleteWhenIdle(QObject* object);
    // Likewise the controls' events: one that comes due during a wait is handled after it, so
    // a handler never runs in the middle of another handler's page call.
    static void deliverWhenIdle(QObject* context, std::function<void()> event);
    static void enterWait();
    static void leaveWait();
    // The console lines that carry the page bridge's words to the program begin with this.
    static QString progressPrefix();

  Q_SIGNALS:
    // A page call's word, sent while the call is still in the page (PageBatch::mark).
    void callProgress(const QString& word);

  protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;

  private:
    QWidget* dialogParent() const;
    // Downloads go through the platform's save dialog (a page saved from the context menu, a
    // link or image saved, an address that answers with a file).
    static void saveDownload(QWebEngineDownloadRequest* download);
    WebBrowser* owner_;
    int dialogDepth_ = 0;
    bool unresponsive_ = false;
};

// The embedded browser control. Method names follow the control the programs were designed
// for; geometry is in twips (15 per pixel).
//
// DocumentComplete, NavigateComplete2 and NavigateError are delivered from the window's own
// event loop, never from inside the engine's callbacks and never in the middle of a
// synchronous page call (one that comes due then waits for the call to end), so handlers may
// make page calls, unload controls (BrowserArray::unloadElement) or navigate again. NewWindow2
// is the exception: the page waits for its answer, so it is raised at once, also during a page
// call whose script opens a window.
class WebBrowser : public QWidget {
    Q_OBJECT
  public:
    explicit WebBrowser(QWidget* parent = nullptr);
    ~WebBrowser() override;

    // Start loading and return at once. The address is taken as typed (no trimming); one
    // without a scheme is completed the way the control always did ("www.example.com" becomes
    // http, a local path a file address). One the engine cannot load at all ("http://",
    // "http:///") leaves the page as it is and raises NavigateError only. A failed load (no
    // server, HTTP error) raises NavigateError and then DocumentComplete for the error page.
    // On a page left stuck in a script (see PageDocument) these end its render process first.
    // The document Navigate() loads starts without the window name a page gave this window
    // (window.open(address, name)), as a browser's address bar does.
    void Navigate(const QString& address);
    void Navigate2(const QString& address) { Navigate(address); }
    void GoBack();
    void GoForward();
    void Refresh();
    void Stop();

    // Lets the page go, and its render process with it unless another page shares that: the
    // control is as it was when made, an empty white area that has not navigated. One that has
    // not navigated since it was made or last let its page go keeps it. Events of the page let
    // go that were already on their way still come.
    void discardPage();

    // Prints the document shown through the toolkit's print dialog (a page's window.print() and
    // the context menu's 打印 come here too). One print at a time; a page without its view yet
    // is printed once the view is there.
    void printPage();

    // Silent keeps the engine's own script-error dialogs away. Chromium shows none, so the flag
    // is only kept; page alert/confirm/prompt always go through the platform's message boxes.
    bool Silent() const { return silent_; }
    void setSilent(bool silent) { silent_ = silent; }

    // Address of the top-level document shown, in the engine's encoded text form
    // ("http://127.0.0.1:8000/a.html", "about:blank"); empty before the first navigation. A
    // window a page opened without an address, and wrote into or not, shows "about:blank".
    QString LocationURL() const;
    // 0 before the first navigation, 1 while a navigation is under way, 4 once it is complete
    // (also after a failed or stopped one).
    int ReadyState() const;
    // The document shown now; a null handle when the page does not answer.
    PageDocument Document(PageResult* result = nullptr) const;
    // The same document, bound by the handle's first call instead of a round trip of its own
    // (PageDocument::onFirstCall): for work that goes to the page straight away.
    PageDocument DocumentOnFirstCall() const { return PageDocument::onFirstCall(page_); }

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void setLeft(int twips);
    void setTop(int twips);
    void setWidth(int twips);
    void setHeight(int twips);
    bool Visible() const { return !isHidden(); }  // the control's own flag, not its window's
    void ZOrder() { raise(); }

    // Position in its BrowserArray; 0 for a control outside any array.
    int Index() const { return index_; }

    WebPage* page() const { return page_; }
    // The engine's view of the page; nullptr for a short while after a new-window request has
    // handed its window over (see adoptNewWindow).
    QWebEngineView* view() const { return view_; }

  Q_SIGNALS:
    void NewWindow2(platform::WebBrowser* sender, platform::NewWindowRequest* request);
    // Top-level document finished (Chromium reports no frame completions); url equals
    // LocationURL() at that moment.
    void DocumentComplete(platform::WebBrowser* sender, const QString& url);
    void NavigateComplete2(platform::WebBrowser* sender, const QString& url);
    // statusCode: the HTTP status for an error answer, else the engine's (negative) net error.
    // Also raised for a navigation that ended without a document (a download, a stop): -3.
    void NavigateError(platform::WebBrowser* sender, const QString& url, int statusCode);
    // The page asks for its window to be closed (window.close() in it, or w.close() from the
    // page that opened it). Delivered like DocumentComplete.
    void WindowClosing(platform::WebBrowser* sender);

  private:
    friend class BrowserArray;
    void onNewWindow(QWebEngineNewWindowRequest& request);
    void onLoading(const QWebEngineLoadingInfo& info);
    void onUrlChanged();
    void failInvalid(const QString& address);
    void load(const QUrl& url);
    void usePage(WebPage* page);
    void adoptNewWindow(QWebEngineNewWindowRequest& request);
    void attachView();
    void showContextMenu(const QPoint& position);
    void forgetWindowName();
    void keepWindowName();

    QWebEngineView* view_ = nullptr;
    WebPage* page_ = nullptr;
    bool silent_ = false;
    bool everNavigated_ = false;
    bool requested_ = false;  // Navigate() called, engine has not started yet
    int loading_ = 0;         // navigations started and not yet ended
    bool commitPending_ = false;
    int index_ = 0;
    std::unique_ptr<QPrinter> printer_;
    bool printWhenShown_ = false;
    // A window taken over from a new-window request gets its view once both have happened:
    // the settings update has reached it, and its first load has ended.
    bool viewAwaitsSettings_ = false;
    bool viewAwaitsFirstLoad_ = false;
    void attachViewWhenReady();
    // From Navigate() to the end of the load it started: that load's document starts without
    // the window name an earlier page of this window was given.
    bool forgetsName_ = false;
    bool forgetLoadStarted_ = false;
    // What to do once a stuck renderer has ended (load an address, go back or forward).
    std::function<void()> afterKill_;
    // The loads that go down with an ended renderer report nothing; reports start again with
    // the load that the action after it starts.
    enum class Recovery { None, Killing, ActionRan };
    Recovery recovery_ = Recovery::None;
    void runAfterKill(const std::function<void()>& action);
    int documentsDone_ = 0;  // loads that ended with a document
    void recoverThen(std::function<void()> action);
};

// A window's array of browser controls, indexed by a 16-bit signed index as the windows'
// designs have it. Elements are made and destroyed at run time; the array re-emits every
// element's events with the element's index. A new-window handler typically loads element
// index + 1, copies Left/Top/Height/Width, shows it, calls ZOrder(), sets request->target to
// it and unloads (or, for element 0, hides) the asking element, all inside the handler.
class BrowserArray : public QObject {
    Q_OBJECT
  public:
    // name becomes the objectName of every element.
    explicit BrowserArray(const QString& name, QObject* parent = nullptr);
    ~BrowserArray() override;

    QString name() const { return name_; }
    WebBrowser* element(int index) const;  // nullptr when absent
    bool exists(int index) const { return element(index) != nullptr; }
    QList<int> indexes() const;  // ascending

    // Makes element index as a child of parent (hidden until shown, like a freshly loaded
    // control array element). nullptr when the index lies outside -32768..32767 or the element
    // already exists: the caller decides what that state means.
    WebBrowser* loadElement(int index, QWidget* parent);
    // Hides the element, takes it out of the array at once and destroys it once control is
    // back in the event loop (after any page call in progress), so it may be called from inside
    // the element's own event handlers. false when there is no such element. Elements also go
    // with their parent widget (the window closing); the array then simply forgets them.
    bool unloadElement(int index);

  Q_SIGNALS:
    void NewWindow2(int index, platform::NewWindowRequest* request);
    void DocumentComplete(int index, const QString& url);
    void NavigateComplete2(int index, const QString& url);
    void NavigateError(int index, const QString& url, int statusCode);
    void WindowClosing(int index);

  private:
    QString name_;
    QMap<int, QPointer<WebBrowser>> elements_;
};

}  // namespace platform
