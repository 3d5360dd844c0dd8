#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class QWebEngineProfile;

namespace platform {

class WebPage;
class PageDocument;

// Outcome of one operation on a page. Page work in the programs skips a failing step and goes
// on, and some callers log or show the description, so every operation reports instead of
// throwing. `value` holds what a reading operation returned (null on failure).
struct PageResult {
    bool ok = false;
    QString error;  // the page's own description ("Uncaught SyntaxError: ...") or the layer's
    QVariant value;
    explicit operator bool() const { return ok; }
};

// One node of a document subtree, as the analyzer's tree needs it.
struct DomNode {
    QString nodeName;            // "DIV", "#text", "#comment", ...
    QString nodeValue;           // text of text and comment nodes; empty for elements
    bool isText = false;         // a text node (the analyzer writes "#" + nodeValue for these)
    bool hasAttributes = false;  // false for nodes without an attribute collection
    QString id;                  // value of the "id" attribute; empty when there is none
    QList<DomNode> children;
};

// A handle to one element of a page's document. Cheap to copy; it stays bound to the document
// that was loaded when it was obtained and fails cleanly (ok = false) once the page has moved
// on to another document. A null element (isNull()) is what a lookup that found nothing gives;
// every operation on it fails with a description.
class PageElement {
  public:
    PageElement() = default;
    bool isNull() const { return index_ < 0; }

    // Adds child at the end of this element's children. A script element with text runs as
    // it goes in; an error it raises while running comes back as the failure. A script element
    // that already ran elsewhere is replaced by a fresh copy so that it runs again.
    PageResult appendChild(const PageElement& child) const;

    // Element properties by name. The names the programs use, in any letter case: "id",
    // "className", "innerHTML", "type", "value", "styleSheet.cssText" (a style element's whole
    // sheet text), "language", "src", "text"; any other name is read or written as the
    // element's script property of that exact name.
    //
    // Setting "text" of a script element that is in the document runs the new text every time
    // (the element is swapped for a fresh one with the same attributes, so getElementById finds
    // it and this handle follows it); a syntax or run-time error while the page takes the text
    // is the failure, with the page's description. A script element whose language names no
    // JavaScript dialect ("VBScript") takes the text but cannot run it: that is a failure too
    // (pagetext::noLanguage), here and when such an element with text is appended.
    QVariant getProperty(const QString& name, PageResult* result = nullptr) const;
    QString getText(const QString& name, PageResult* result = nullptr) const;  // as text
    PageResult setProperty(const QString& name, const QVariant& value) const;

    // The subtree rooted here, in one round trip: child nodes in document order, text and
    // comment nodes included. An empty node (nodeName empty) on failure.
    DomNode domTree(PageResult* result = nullptr) const;

    PageDocument document() const;

  private:
    friend class PageDocument;
    PageResult call(const QString& op, const QVariantList& args) const;
    QPointer<WebPage> page_;
    qint64 token_ = 0;
    int index_ = -1;
    int timeoutMs_ = 0;
};

// The document loaded in a browser control *now* (WebBrowser::Document()). Every operation is
// one synchronous round trip into the page's own script context (beside the page's scripts:
// globals defined by injected code are the page's globals), bounded by a timeout that ends
// early when the page goes away, its render process dies or it navigates elsewhere. While a
// dialog that the call's own script opened (alert, confirm, prompt) is up, the bound does not
// run down; a call made while the page already shows a dialog (from a timer, say) fails at once.
//
// A page that lets a wait run out (a runaway script) is marked unresponsive: further calls on
// it fail at once, without waiting, until it answers again or loads a new document.
//
// Code added through script elements or execScript runs also on pages whose security policy
// forbids inline scripts: the engine's own entry into the page, which that policy does not
// cover, takes over, and a failure there comes as pagetext::scriptFailed() (the engine keeps
// the page's description back).
class PageDocument {
  public:
    PageDocument() = default;

    // True when the handle was obtained and the page still shows that same document (one
    // round trip).
    bool isValid() const;
    bool isNull() const;
    // Why a null handle is null: the description of the failure that gave it (a page that does
    // not answer, a page that is gone); pagetext::noPage() for a handle made empty.
    QString failure() const;

    // Whether a script in that language runs here: JavaScript under any of its names
    // ("JavaScript", "JScript", "javascript1.5", ...), or no language at all.
    static bool runsLanguage(const QString& language);

    PageElement body(PageResult* result = nullptr) const;
    PageElement documentElement(PageResult* result = nullptr) const;
    // getElementsByTagName(tag) then item(index); a null element when there is no such item.
    PageElement getElementsByTagName(const QString& tag, int index = 0,
                                     PageResult* result = nullptr) const;
    int countElementsByTagName(const QString& tag, PageResult* result = nullptr) const;
    // A null element, and no failure, when no element has that id.
    PageElement getElementById(const QString& id, PageResult* result = nullptr) const;
    // Any tag; the programs use "script", "style", "div" and "input".
    PageElement createElement(const QString& tag, PageResult* result = nullptr) const;

    // Runs code in the page's global scope (function declarations become page globals), as a
    // script element would: a language that names no JavaScript dialect fails with a
    // description (there is only the JavaScript engine); an empty language means JavaScript.
    PageResult execScript(const QString& code,
                          const QString& language = QStringLiteral("javascript")) const;

    // Escape hatch: the value of one JavaScript expression evaluated in the page's global
    // context (strings, numbers, booleans, arrays and plain objects come back; DOM objects
    // come back as empty maps). A thrown error is the failure, with its description; an
    // expression that does not compile fails with pagetext::noResult().
    QVariant evaluate(const QString& expression, PageResult* result = nullptr) const;

    // Bound of one round trip, in ms, for this handle (0: the process-wide default).
    void setTimeout(int ms) { timeoutMs_ = ms; }
    static void setDefaultTimeout(int ms);
    static int defaultTimeout();

    // Binds a handle to the document that page shows now (what WebBrowser::Document() does).
    static PageDocument of(WebPage* page, PageResult* result = nullptr);
    // A handle without a round trip of its own: its first call binds it to the document the
    // page shows when that call gets there, in the call's own round trip. For work that starts
    // on the page at once, where binding first would only cost a trip.
    static PageDocument onFirstCall(WebPage* page);

    // Has the profile put the layer's side of the calls into every document of its pages as
    // the document is made, so that a call carries only its own work. A document made without
    // it (a window a page wrote itself) gets it from the first call that binds a handle there.
    static void installBridge(QWebEngineProfile* profile);

  private:
    friend class PageElement;
    friend class PageBatch;
    PageResult call(const QString& op, const QVariantList& args) const;
    PageElement element(const PageResult& r) const;
    qint64 token() const;
    QPointer<WebPage> page_;
    qint64 token_ = 0;
    // Shared by the copies of a handle made by onFirstCall: its token once bound, else 0.
    std::shared_ptr<qint64> pending_;
    int timeoutMs_ = 0;
    QString failure_;
};

// Operations on one document that travel to the page together, in one round trip, and run
// there one after the other as the same calls made one by one would: each step has its own
// outcome, an error that a script raises while it goes in is that step's failure, and a step
// on an element that an earlier step did not give fails with pagetext::nullElement(). Steps
// fall into groups; in a strict group the first failure ends the group, whose later steps
// then do not run, while the steps of other groups still do.
class PageBatch {
  public:
    explicit PageBatch(const PageDocument& document);

    // Each adds one step and gives its number. A step that works on an element names the
    // number of the step that gave the element.
    int body();
    int getElementsByTagName(const QString& tag, int index = 0);
    int createElement(const QString& tag);
    int setProperty(int element, const QString& name, const QVariant& value);
    int appendChild(int parent, int child);
    // innerHTML becomes innerHTML followed by markup (read, join, assign).
    int appendHtml(int element, const QString& markup);
    // A failure of the caller's own, at its place in the order (ends a strict group).
    int fail(const QString& description);
    // A point the caller hears of as soon as the page gets there, while the batch is still
    // in the page (see run()). It starts a lenient group of its own, which the steps added
    // after it join until the next beginGroup.
    int mark();

    // The steps added from now on form a new group.
    void beginGroup(bool strict);
    int size() const { return int(steps_.size()); }

    // Sends the steps. Script text that the page's security policy keeps from running goes in
    // through the engine's own entry before the steps after it run (one more round trip each).
    // reached hears of every mark once, in order, with its step: when the page says it got
    // there, else (a page that went away, a word that did not come) once the batch is over.
    void run(const std::function<void(int mark)>& reached = {});
    // After run(): the outcome of a step. One that did not run (its strict group had ended)
    // is not ok and has an empty error.
    PageResult result(int step) const;
    bool ran(int step) const;
    // Number of round trips the last run() took.
    int roundTrips() const { return trips_; }

  private:
    int add(const QString& op, const QVariantList& args, const QList<int>& refs = {});
    void send();
    PageDocument document_;
    QVariantList steps_;
    QList<int> marks_;
    QString markWord_;  // what the page's words for this batch's marks begin with
    QList<PageResult> results_;
    QList<bool> ran_;
    int group_ = 0;
    bool strict_ = false;
    int trips_ = 0;
};

// The layer's texts for failures that do not come from the page.
namespace pagetext {
QString noPage();        // no page, or the page was closed
QString noAnswer();      // the page did not answer within the bound
QString navigated();     // the page moved on to another document during the call
QString stale();         // the handle belongs to an earlier document
QString crashed();       // the page's render process ended
QString nullElement();   // an operation on an element that was not found
QString inDialog();      // the page is showing a dialog (alert, confirm, prompt) just now
QString scriptFailed();  // a script failed where the page gives no description
QString noResult();      // no result at all: an expression given to evaluate() did not compile
QString noLanguage(const QString& language);  // code in a language that does not run here
}  // namespace pagetext

}  // namespace platform
