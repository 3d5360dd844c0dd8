#include "support/popupcases.h"

#include <QPdfDocument>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

#include "livepage/browserhost.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "support/testserver.h"

namespace popupCases {

namespace {

// The opener's functions, one per pattern; `w` and `d` are the handles it keeps.
const QByteArray kPatternsPage = R"(<html><head></head><body><p id="opener">opener</p>
<textarea id="text"></textarea><script>
var w = null, d = null, clicked = 0, messages = 0;
window.addEventListener('message', function (e) { if (e.data === 'written') messages++; });
function printWithLibrary() {
  w = window.open('');
  w.document.write('<html><head><script src="/printlib.js"><\/script></head><body>' +
    '<p id="inv">Invoice #1</p><script>lib.total(); window.print();<\/script></body></html>');
  w.document.close();
}
function chunks() {
  w = window.open('');
  w.document.write('<html><body><p id="a">one</p>');
  w.document.write('<p id="b">two</p>');
  w.document.write('<p id="c">three</p></body></html>');
  w.document.close();
}
function selfSubmit() {
  w = window.open('');
  w.document.write('<form method="post" action="/order"><input name="item" value="book">' +
    '</form><script>document.forms[0].submit();<\/script>');
  w.document.close();
}
function openerSubmit() {
  w = window.open('');
  w.document.write('<form method="post" action="/order"><input name="item" value="pen"></form>');
  w.document.close();
  w.document.forms[0].submit();
}
function handles() {
  w = window.open('');
  w.passed = 42;
  w.document.write('<p id="p">x</p><script>window.runs = (window.runs || 0) + 1;' +
    'document.getElementById("p").textContent = "passed " + window.passed;' +
    'opener.postMessage("written", "*");<\/script>');
  w.document.close();
  d = w.document;
  d.getElementById('p').addEventListener('click', function () { clicked++; });
}
function preview() {
  w = window.open('', 'preview');
  w.document.write('<p id="preview">' + document.getElementById('text').value + '</p>');
  w.document.close();
}
</script></body></html>)";

// Counts its own runs in the page that loads it.
const QByteArray kPrintLibrary =
    "window.lib = { total: function () { window.libRuns = (window.libRuns || 0) + 1;"
    " document.getElementById('inv').textContent += ' total 42'; } };";

constexpr int kWaitMs = 15000;
// Long enough for a second run of anything, had there been one.
constexpr int kSettleMs = 400;

platform::WebBrowser* inUse(const Window& w) {
    return w.host->elementInUse();
}

QVariant evaluate(platform::WebBrowser* wb, const QString& expression) {
    return wb ? wb->Document().evaluate(expression) : QVariant();
}

QVariant page(const Window& w, const QString& expression) {
    return evaluate(inUse(w), expression);
}

platform::WebBrowser* openerElement(const Window& w) {
    return w.host->array() ? w.host->array()->element(0) : nullptr;
}

QVariant opener(const Window& w, const QString& expression) {
    return evaluate(openerElement(w), expression);
}

bool run(platform::WebBrowser* wb, const QString& code) {
    return wb && wb->Document().execScript(code).ok;
}

// The pop-up is the element in use, with its view.
bool popUpShown(const Window& w) {
    return QTest::qWaitFor(
        [&] { return *w.index == 1 && inUse(w) && inUse(w)->view() && inUse(w)->isVisible(); },
        kWaitMs);
}

// The opener's element is in use again, and the pop-up's element is gone.
bool backAtOpener(const Window& w) {
    return QTest::qWaitFor(
        [&] {
            return *w.index == 0 && !w.host->array()->exists(1) && openerElement(w) &&
                   openerElement(w)->isVisible();
        },
        kWaitMs);
}

void closeFromInside(const Window& w) {
    QVERIFY(run(inUse(w), QStringLiteral("window.close();")));
    QVERIFY(backAtOpener(w));
}

// Element 0 on the patterns page, whatever earlier cases left.
void start(Window& w) {
    for (int tries = 0; *w.index != 0 && tries < 5; ++tries) {
        if (!run(inUse(w), QStringLiteral("window.close();"))) break;
        QTest::qWaitFor([&] { return *w.index == 0; }, 3000);
    }
    QCOMPARE(*w.index, qint16(0));
    w.host->selectNewWindowItem(0);
    QVERIFY(w.go(QStringLiteral("/patterns.html")));
}

int requestsTo(const Window& w, const QByteArray& method, const QByteArray& path,
               const QByteArray& body = QByteArray()) {
    int n = 0;
    for (const TestServer::Request& r : w.server->requests())
        if (r.method == method && r.path == path && (body.isEmpty() || r.body == body)) ++n;
    return n;
}

// Dark pixels on the first printed page (the engine prints pages as pictures); 0 while the file
// is not complete.
int printedInk(const QString& path) {
    QPdfDocument pdf;
    if (pdf.load(path) != QPdfDocument::Error::None || pdf.pageCount() < 1) return 0;
    const QImage image = pdf.render(0, QSize(400, 560));
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) ++ink;
    return ink;
}

// Into the page's text box, as the user does: a click on it, then the keys.
void typeInto(const Window& w, const QString& id, const QString& text) {
    const QVariant at = page(
        w, QStringLiteral("(function(){var r=document.getElementById('%1').getBoundingClientRect();"
                          "return [Math.round(r.left+r.width/2),Math.round(r.top+r.height/2)];})()")
               .arg(id));
    const QVariantList xy = at.toList();
    QCOMPARE(xy.size(), 2);
    QWidget* input = inUse(w)->view()->focusProxy();
    QVERIFY(input);
    const QPoint point(xy[0].toInt(), xy[1].toInt());
    const QString focused =
        QStringLiteral("document.activeElement === document.getElementById('%1')").arg(id);
    for (int tries = 0; !page(w, focused).toBool() && tries < 3; ++tries) {
        QTest::mouseMove(input, point);
        QTest::mouseClick(input, Qt::LeftButton, {}, point);
        QTest::qWaitFor([&] { return page(w, focused).toBool(); }, 2000);
    }
    QVERIFY(page(w, focused).toBool());
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, input, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTRY_COMPARE_WITH_TIMEOUT(
        page(w, QStringLiteral("document.getElementById('%1').value").arg(id)).toString(), text,
        5000);
}

}  // namespace

void servePages(TestServer* server) {
    server->page("/patterns.html", kPatternsPage);
    server->page("/printlib.js", kPrintLibrary, "application/javascript");
    server->route("/order", [](const TestServer::Request& r) {
        TestServer::Response answer;
        answer.body = "<html><body><p id=\"done\">ordered " + r.body + "</p></body></html>";
        return answer;
    });
}

void printWithLibrary(Window& w) {
    start(w);
    if (QTest::currentTestFailed()) return;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    platform::clearShownDialogs();
    platform::queuePrintAnswer(pdf);
    const int fetched = requestsTo(w, "GET", "/printlib.js");
    QVERIFY(run(openerElement(w), QStringLiteral("printWithLibrary();")));
    QVERIFY(popUpShown(w));
    // A browser loads the library once, runs it once, and prints what it made.
    QTRY_COMPARE_WITH_TIMEOUT(page(w, QStringLiteral("document.getElementById('inv').textContent")),
                              QVariant(QStringLiteral("Invoice #1 total 42")), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(printedInk(pdf) > 0, kWaitMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(page(w, QStringLiteral("window.libRuns")).toInt(), 1);
    QCOMPARE(requestsTo(w, "GET", "/printlib.js"), fetched + 1);
    const QList<platform::ShownDialog> shown = platform::shownDialogs();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().kind, platform::DialogKind::Print);
    QCOMPARE(shown.first().title, QStringLiteral("打印"));
    closeFromInside(w);
}

void chunkedWrites(Window& w) {
    start(w);
    if (QTest::currentTestFailed()) return;
    QVERIFY(run(openerElement(w), QStringLiteral("chunks();")));
    QVERIFY(popUpShown(w));
    // A browser keeps every chunk, in order.
    QTRY_COMPARE_WITH_TIMEOUT(
        page(w, QStringLiteral(
                    "[].map.call(document.querySelectorAll('p'), function (p) { return p.id + "
                    "'=' + p.textContent; }).join(',')")),
        QVariant(QStringLiteral("a=one,b=two,c=three")), kWaitMs);
    QCOMPARE(inUse(w)->LocationURL(), QStringLiteral("about:blank"));
    closeFromInside(w);
}

void submittedForms(Window& w) {
    for (const char* call : {"selfSubmit();", "openerSubmit();"}) {
        start(w);
        if (QTest::currentTestFailed()) return;
        const QByteArray item = QByteArray(call) == "selfSubmit();" ? "item=book" : "item=pen";
        const int before = requestsTo(w, "POST", "/order", item);
        QVERIFY(run(openerElement(w), QString::fromLatin1(call)));
        QVERIFY(popUpShown(w));
        // A browser posts the form once and shows the answer in the pop-up.
        QTRY_COMPARE_WITH_TIMEOUT(inUse(w)->LocationURL(), w.server->url("/order"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(
            page(w, QStringLiteral("document.getElementById('done').textContent")),
            QVariant(QStringLiteral("ordered ") + QString::fromLatin1(item)), kWaitMs);
        QTest::qWait(kSettleMs);
        QCOMPARE(requestsTo(w, "POST", "/order", item), before + 1);
        closeFromInside(w);
    }
}

void openerStateAndHandles(Window& w) {
    start(w);
    if (QTest::currentTestFailed()) return;
    QVERIFY(run(openerElement(w), QStringLiteral("handles();")));
    QVERIFY(popUpShown(w));
    // A browser: one window object, so what the opener set before writing is there, the
    // written script runs once, and the opener's handles reach the document on show.
    QTRY_COMPARE_WITH_TIMEOUT(page(w, QStringLiteral("document.getElementById('p').textContent")),
                              QVariant(QStringLiteral("passed 42")), kWaitMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(page(w, QStringLiteral("window.runs")).toInt(), 1);
    QCOMPARE(opener(w, QStringLiteral("messages")).toInt(), 1);
    QVERIFY(
        opener(w, QStringLiteral("d === w.document && d.getElementById('p') !== null")).toBool());
    QVERIFY(run(inUse(w), QStringLiteral("document.getElementById('p').click();")));
    QTRY_COMPARE_WITH_TIMEOUT(opener(w, QStringLiteral("clicked")).toInt(), 1, 5000);
    QVERIFY(run(openerElement(w), QStringLiteral("d.body.appendChild(d.createTextNode('!'));")));
    QCOMPARE(page(w, QStringLiteral("document.body.lastChild.data")).toString(),
             QStringLiteral("!"));
    closeFromInside(w);
}

void closeBothWays(Window& w) {
    // From the opener: a browser closes the pop-up and shows the opener's page again.
    start(w);
    if (QTest::currentTestFailed()) return;
    QVERIFY(run(openerElement(w), QStringLiteral("handles();")));
    QVERIFY(popUpShown(w));
    QVERIFY(run(openerElement(w), QStringLiteral("w.close();")));
    QVERIFY(backAtOpener(w));
    QTRY_VERIFY_WITH_TIMEOUT(opener(w, QStringLiteral("w.closed")).toBool(), kWaitMs);
    QCOMPARE(inUse(w)->LocationURL(), w.server->url("/patterns.html"));
    // From inside.
    QVERIFY(run(openerElement(w), QStringLiteral("handles();")));
    QVERIFY(popUpShown(w));
    closeFromInside(w);
    QTRY_VERIFY_WITH_TIMEOUT(opener(w, QStringLiteral("w.closed")).toBool(), kWaitMs);
    QVERIFY(opener(w, QStringLiteral("!!document.getElementById('opener')")).toBool());
}

void namedReopenInBlockMode(Window& w) {
    start(w);
    if (QTest::currentTestFailed()) return;
    QVERIFY(run(openerElement(w), QStringLiteral("preview();")));
    QVERIFY(popUpShown(w));
    QTRY_VERIFY_WITH_TIMEOUT(
        page(w, QStringLiteral("!!document.getElementById('preview')")).toBool(), kWaitMs);
    // The user goes on in the kept window, types, and blocks new windows.
    QVERIFY(w.go(QStringLiteral("/patterns.html")));
    QCOMPARE(*w.index, qint16(1));
    QCOMPARE(page(w, QStringLiteral("window.name")).toString(), QString());
    typeInto(w, QStringLiteral("text"), QStringLiteral("draft"));
    if (QTest::currentTestFailed()) return;
    w.host->selectNewWindowItem(1);
    // A browser's page asking for a window of that name now gets a new one, which is refused;
    // the page with what the user typed stays.
    QVERIFY(run(inUse(w), QStringLiteral("preview();")));
    QTest::qWait(kSettleMs);
    QCOMPARE(*w.index, qint16(1));
    QVERIFY(!w.host->array()->exists(2));
    QCOMPARE(inUse(w)->LocationURL(), w.server->url("/patterns.html"));
    QCOMPARE(page(w, QStringLiteral("document.getElementById('text').value")).toString(),
             QStringLiteral("draft"));
    w.host->selectNewWindowItem(0);
    closeFromInside(w);
}

void play(const QString& name, Window& w) {
    if (name == QLatin1String("print with a library"))
        printWithLibrary(w);
    else if (name == QLatin1String("chunked writes"))
        chunkedWrites(w);
    else if (name == QLatin1String("submitted forms"))
        submittedForms(w);
    else if (name == QLatin1String("opener state and handles"))
        openerStateAndHandles(w);
    else if (name == QLatin1String("close both ways"))
        closeBothWays(w);
    else if (name == QLatin1String("named re-open in block mode"))
        namedReopenInBlockMode(w);
    else
        QFAIL("no such case");
}

}  // namespace popupCases
