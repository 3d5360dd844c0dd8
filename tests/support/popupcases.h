#pragma once

#include <QString>
#include <functional>

class TestServer;

namespace livePage {
class BrowserHost;
}

// The pop-up patterns of real pages, played in a window that shows pages, each checked against
// what a stock browser does with it. Every case starts on "/patterns.html" in element 0 and
// ends there, the pop-up closed by its own window.close().
namespace popupCases {

// Serves "/patterns.html" and what its pop-ups load: "/printlib.js" (a library that a written
// pop-up loads before it prints) and "/order" (a form's target; the server keeps the count).
void servePages(TestServer* server);

struct Window {
    livePage::BrowserHost* host = nullptr;
    qint16* index = nullptr;  // the window's curBrowserIndex (webIndex)
    // Through the address row, as the user does; waits for that page's completion.
    std::function<bool(const QString& path)> go;
    TestServer* server = nullptr;
};

// A written pop-up whose <script src> library fills it in and then calls window.print(): the
// library is fetched once, the pop-up shows what it made, once, and the toolkit's print dialog
// prints exactly that.
void printWithLibrary(Window& w);
// document.write in three chunks: the pop-up holds all three.
void chunkedWrites(Window& w);
// A written form that submits itself, and one the opener submits right after writing it: each
// reaches the server once, and the pop-up shows the answer.
void submittedForms(Window& w);
// What the opener set on the new window is there for the written script (w.passed), the
// script runs once and tells the opener once (postMessage), and the opener's handles to the
// document and its elements stay live (d = w.document, a listener on an element).
void openerStateAndHandles(Window& w);
// w.close() from the opener and window.close() in the pop-up: the pop-up goes, w.closed is
// true, and the opener's element is the one in use again.
void closeBothWays(Window& w);
// A pop-up named "preview" kept; the user goes on in that element through the address row,
// types, and blocks new windows; the page's window.open('', 'preview') is refused and what the
// user typed is still there.
void namedReopenInBlockMode(Window& w);

// Plays the case of that name (a row of POPUP_CASE_ROWS).
void play(const QString& name, Window& w);

}  // namespace popupCases

// Every case, one row each, for a test's data table.
#define POPUP_CASE_ROWS()                                                                          \
    QTest::addColumn<QString>("popUpCase");                                                        \
    for (const char* name :                                                                        \
         {"print with a library", "chunked writes", "submitted forms", "opener state and handles", \
          "close both ways", "named re-open in block mode"})                                       \
    QTest::newRow(name) << QString::fromLatin1(name)
