#pragma once

// What every window that shows web pages shares: an array of browser controls of which one
// element, the element in use, shows the page; the combo that locks or blocks a page's new
// windows; the chain that opens a kept new window in the next element; the rule that tells the
// completion of the top-level document from that of a frame; the address row; silent mode; and
// the closing of a page's window, which shows the element it came from.
// The windows differ in a few points, which they give as settings.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

#include "platform/webbrowser.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;

namespace livePage {

// The two texts of the new-window combo, in item order.
QString lockNewWindowText();   // "锁定新窗口": a page's new window opens in the next element
QString blockNewWindowText();  // "屏蔽新窗口": a page's new window is refused

struct BrowserHostSettings {
    // Load step: navigate the element in use to "about:blank" (all but the page viewer).
    bool navigateOnLoad = true;
    // Load step: set Silent of the element in use (player) or of element 0 (page viewer, which
    // does not navigate).
    bool silentOnLoad = false;
    // New-window chain: Silent for the newly made element (page viewer).
    bool silentOnNewElement = false;
    // New-window chain: Silent for the element in use after the chain, kept or refused (player).
    bool silentAfterChain = false;
    // Completion: Silent for the element in use before anything else (recorder, player).
    bool silentOnComplete = false;
    // NavigateComplete2: Silent for the element in use (player).
    bool silentOnNavigateComplete = false;
    // Completion: addresses of the element in use that end the handling at once.
    QStringList stopAddresses{QStringLiteral("about:blank")};
};

// One per hosting window object, living as long as it. The window's two fields are its own
// (they survive the window's closing); the host works on them through the pointers it is given.
// The controls are attached at every load and forgotten when the window closes.
class BrowserHost : public QObject {
    Q_OBJECT
  public:
    BrowserHost(qint16* curBrowserIndex, qint16* newWindowMode, BrowserHostSettings settings,
                QObject* parent = nullptr);

    // The window's own routines: its layout, run by the new-window chain, and what it does with
    // a completed top-level document (given the element in use). beforeNavigate runs first in
    // the address row (the page viewer's status label).
    std::function<void()> layoutControls;
    std::function<void(platform::WebBrowser* inUse)> topDocumentAction;
    std::function<void()> beforeNavigate;
    // The chain's unloading of the element that asked for a kept new window (never element 0):
    // a window that still waits for an answer from that element's page takes it over (returns
    // true) and unloads the element itself once the answer is in; the chain only hides it.
    std::function<bool(int index)> unloadLater;

    // Connects the controls of a freshly loaded window. The combo gets its two items here;
    // elements made by the chain become children of parent.
    void attach(QWidget* parent, platform::BrowserArray* array, QComboBox* newWndCombo,
                QLineEdit* addressBox, QAbstractButton* navigationButton);

    // Forgets the controls of a window that is closing; events still coming from them, until
    // they are gone, reach nothing.
    void detach();

    const BrowserHostSettings& settings() const { return settings_; }
    platform::BrowserArray* array() const { return array_; }
    // The element curBrowserIndex names; nullptr when it does not exist (a window opened again
    // after a kept new window).
    platform::WebBrowser* elementInUse() const;

    // The load step: navigation and Silent as the settings say, then combo item 0. false when
    // the element in use does not exist; nothing is done then, and the window is expected to
    // set curBrowserIndex to 0 and run the step again.
    bool runLoadStep();

    // Selects an item of the combo from code; its selection handler runs at once, also when
    // the item was already selected.
    void selectNewWindowItem(int index);

    // The handlers, public so that a window or a test can drive them directly.
    void onNewWndComboClick();
    void onNewWindow(int index, platform::NewWindowRequest* request);
    void onDocumentComplete(int index, const QString& url);
    void onNavigateComplete(int index);
    void onWindowClosing(int index);
    void navigateToAddress();

  private:
    void runLayout();

    qint16* curBrowserIndex_;
    qint16* newWindowMode_;
    BrowserHostSettings settings_;
    QPointer<QWidget> parent_;
    QPointer<platform::BrowserArray> array_;
    QPointer<QComboBox> combo_;
    QPointer<QLineEdit> addressBox_;
    QPointer<QAbstractButton> navigationButton_;
};

}  // namespace livePage
