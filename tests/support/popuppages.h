#pragma once

#include <QByteArray>
#include <QString>

#include "support/testserver.h"

// Pages for the pop-up cases every window that shows pages must survive:
// - "/writer.html" opens a window without an address and writes into it, as editors' "open in
//   new window" do, with byAppend() (DOM calls) or byWrite() (document.write); the pop-up then
//   holds <p id="w">json</p>;
// - "/slow.html" answers only after 600 ms (<p id="s">slow</p>), so that a window that opens
//   it shows the new window's first, empty document meanwhile;
// - "/plain.html", an ordinary page;
// - "/hang.html", a page that runs into an endless script 100 ms after it has loaded.
inline void servePopUpPages(TestServer* server) {
    server->page("/writer.html",
                 "<html><head></head><body><p id=\"writer\">writer</p><script>"
                 "function byAppend() { var c = window.open('', '_blank');"
                 " var p = c.document.createElement('p'); p.id = 'w'; p.textContent = 'json';"
                 " c.document.body.append(p); }"
                 "function byWrite() { var c = window.open('');"
                 " c.document.write('<p id=\"w\">json</p>'); c.document.close(); }"
                 "</script></body></html>");
    server->route("/slow.html", [](const TestServer::Request&) {
        TestServer::Response r;
        r.body = "<html><head></head><body><p id=\"s\">slow</p></body></html>";
        r.delayMs = 600;
        return r;
    });
    server->page("/hang.html",
                 "<html><body>h<script>window.addEventListener('load', function () {"
                 " setTimeout(function () { while (true) {} }, 100); });</script></body></html>");
    server->page("/plain.html", "<html><head></head><body><p id=\"plain\">plain</p></body></html>");
}

// The two ways of writing into the pop-up, for a test's data table.
#define POPUP_WRITE_ROWS()                                    \
    QTest::addColumn<QString>("call");                        \
    QTest::newRow("append") << QStringLiteral("byAppend();"); \
    QTest::newRow("document.write") << QStringLiteral("byWrite();")
