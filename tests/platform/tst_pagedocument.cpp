#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/dialogs.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::PageDocument;
using platform::PageElement;
using platform::PageResult;
using platform::WebBrowser;

class PageDocumentTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<QWidget> window_;
    WebBrowser* wb_ = nullptr;

    // Loads a served page and returns its document once the top-level document is complete.
    PageDocument open(const QByteArray& path) {
        QSignalSpy done(wb_, &WebBrowser::DocumentComplete);
        wb_->Navigate(server_->url(QString::fromLatin1(path)));
        if (!done.wait(15000)) return {};
        return wb_->Document();
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/page.html",
                      "<html><head><title>t</title></head><body><p id=\"p\">x</p></body></html>");
        server_->page("/csp.html",
                      "<html><head><meta http-equiv=\"Content-Security-Policy\" "
                      "content=\"script-src 'self'\"></head><body>c</body></html>");
        server_->page("/other.html", "<html><body>other</body></html>");
        // Replaces, before anything else on the page runs, what the layer's calls rely on.
        server_->page("/replacing.html",
                      "<html><head><script>"
                      "Reflect.apply = function () { throw new Error('replaced'); };"
                      "EventTarget.prototype.addEventListener = function () {};"
                      "console.log = function () {};"
                      "try { document.__pageBridge.run = function () { return [1, -1]; }; }"
                      " catch (e) {}"
                      "</script></head><body><p id=\"p\">r</p></body></html>");
        server_->page("/tree.html",
                      "<html><head></head><body><div id=\"main\">t<!--c--><span>s</span></div>"
                      "<p></p></body></html>");
        server_->page("/hang.html",
                      "<html><body>h<script>window.addEventListener('load', function () {"
                      " setTimeout(function () { while (true) {} }, 200); });</script>"
                      "</body></html>");
        window_ = std::make_unique<QWidget>();
        window_->resize(640, 480);
        wb_ = new WebBrowser(window_.get());
        wb_->setGeometry(0, 0, 600, 440);
        wb_->show();
        window_->show();
    }

    void cleanupTestCase() { window_.reset(); }

    void injectedPartsApplyAndReadBack() {
        const PageDocument doc = open("/page.html");
        QVERIFY(!doc.isNull());
        QVERIFY(doc.isValid());

        const PageElement style = doc.createElement("style");
        QVERIFY(style.setProperty("Type", "text/css").ok);
        QVERIFY(style.setProperty("styleSheet.cssText", ".skin { color: rgb(1, 2, 3); }").ok);
        QVERIFY(doc.getElementsByTagName("head", 0).appendChild(style).ok);
        QCOMPARE(style.getText("styleSheet.cssText"),
                 QStringLiteral(".skin { color: rgb(1, 2, 3); }"));

        const PageElement div = doc.createElement("div");
        QVERIFY(div.setProperty("Id", "board").ok);
        QVERIFY(div.setProperty("className", "skin").ok);
        QVERIFY(div.setProperty("innerHTML", div.getText("innerHTML") + "<b>a</b>").ok);
        QVERIFY(div.setProperty("innerHTML", div.getText("innerHTML") + "tail").ok);
        QVERIFY(doc.body().appendChild(div).ok);
        const PageElement found = doc.getElementById("board");
        QVERIFY(!found.isNull());
        QCOMPARE(found.getText("innerHTML"), QStringLiteral("<b>a</b>tail"));
        QCOMPARE(found.getText("className"), QStringLiteral("skin"));
        QCOMPARE(
            doc.evaluate("getComputedStyle(document.getElementById('board')).color").toString(),
            QStringLiteral("rgb(1, 2, 3)"));

        const PageElement input = doc.createElement("input");
        QVERIFY(input.setProperty("Id", "tv_hidden").ok);
        QVERIFY(input.setProperty("Type", "hidden").ok);
        QVERIFY(doc.body().appendChild(input).ok);
        QVERIFY(doc.execScript("document.getElementById('tv_hidden').value += 'a\\r\\nb';").ok);
        QCOMPARE(doc.getElementById("tv_hidden").getText("value"), QStringLiteral("a\r\nb"));

        const PageElement script = doc.createElement("script");
        QVERIFY(script.setProperty("language", "javascript").ok);
        QVERIFY(script.setProperty("text", "function skinHello() { return 'hello ' + 42; }").ok);
        QVERIFY(doc.body().appendChild(script).ok);
        PageResult r;
        QCOMPARE(doc.evaluate("skinHello()", &r).toString(), QStringLiteral("hello 42"));
        QVERIFY(r.ok);
        // execScript declares page globals too.
        QVERIFY(doc.execScript("function fromExec() { return 7; }", "javascript").ok);
        QCOMPARE(doc.evaluate("fromExec()").toInt(), 7);

        // Looking up what is not there is not a failure; using it is.
        const PageElement none = doc.getElementById("nothing", &r);
        QVERIFY(r.ok);
        QVERIFY(none.isNull());
        QVERIFY(!none.setProperty("text", "x").ok);
        QVERIFY(doc.getElementsByTagName("frameset", 0).isNull());
    }

    // The reusable code element: found by id, created once, its text replaced on every call.
    void scriptElementRunsEveryNewText() {
        const PageDocument doc = open("/page.html");
        QVERIFY(doc.getElementById("VelmoraHideScript").isNull());
        const PageElement el = doc.createElement("script");
        el.setProperty("Id", "VelmoraHideScript");
        el.setProperty("language", "JavaScript");
        QVERIFY(doc.body().appendChild(el).ok);
        for (int i = 1; i <= 3; ++i) {
            const PageElement again = doc.getElementById("VelmoraHideScript");
            QVERIFY(!again.isNull());
            QVERIFY(again.setProperty("text", "window.runs = (window.runs || 0) + 1;").ok);
            QCOMPARE(doc.evaluate("window.runs").toInt(), i);
        }
        QCOMPARE(doc.countElementsByTagName("script"), 1);
        QCOMPARE(el.getText("text"), QStringLiteral("window.runs = (window.runs || 0) + 1;"));
        QCOMPARE(el.getText("language"), QStringLiteral("JavaScript"));
        // The handle follows its element: setting through the first handle runs too.
        QVERIFY(el.setProperty("text", "window.runs = 10;").ok);
        QCOMPARE(doc.evaluate("window.runs").toInt(), 10);
    }

    void failuresComeBackWithDescription_data() {
        QTest::addColumn<QString>("code");
        QTest::newRow("syntax") << "function broken( { ";
        QTest::newRow("runtime") << "var a = 1; notDefinedAnywhere();";
        QTest::newRow("throw") << "throw new Error('by hand');";
    }
    void failuresComeBackWithDescription() {
        QFETCH(QString, code);
        const PageDocument doc = open("/page.html");
        const PageElement el = doc.createElement("script");
        QVERIFY(doc.body().appendChild(el).ok);
        const PageResult set = el.setProperty("text", code);
        QVERIFY(!set.ok);
        QVERIFY2(set.error.size() > 5, qPrintable(set.error));
        // The element stays, holding the text; the next assignment replaces it.
        QCOMPARE(el.getText("text"), code);
        QVERIFY(el.setProperty("text", "window.fine = 1;").ok);
        QCOMPARE(doc.evaluate("window.fine").toInt(), 1);

        const PageResult exec = doc.execScript(code);
        QVERIFY(!exec.ok);
        QVERIFY(!exec.error.isEmpty());
        const PageElement appended = doc.createElement("script");
        appended.setProperty("text", code);
        QVERIFY(!doc.body().appendChild(appended).ok);
        if (QByteArray(QTest::currentDataTag()) == "throw")
            QVERIFY2(set.error.contains("by hand"), qPrintable(set.error));
    }

    void languageDecidesWhetherScriptRuns_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("runs");
        QTest::newRow("VBScript") << "VBScript" << false;
        QTest::newRow("vbscript") << "vbscript" << false;
        QTest::newRow("JScript") << "JScript" << true;
        QTest::newRow("javascript") << "javascript" << true;
        QTest::newRow("JavaScript") << "JavaScript" << true;
        QTest::newRow("empty") << "" << true;
    }
    void languageDecidesWhetherScriptRuns() {
        QFETCH(QString, language);
        QFETCH(bool, runs);
        QCOMPARE(PageDocument::runsLanguage(language), runs);
        const PageDocument doc = open("/page.html");
        const PageElement el = doc.createElement("script");
        el.setProperty("Id", "code");
        el.setProperty("language", language);
        QVERIFY(doc.body().appendChild(el).ok);  // nothing to run yet
        // Code that cannot run is no success: the failure names the language.
        const PageResult set =
            el.setProperty("text", "window.ran = (function () { return 1; })();");
        QCOMPARE(set.ok, runs);
        QCOMPARE(doc.evaluate("window.ran === 1").toBool(), runs);
        const PageResult exec = doc.execScript("window.viaExec = 1;", language);
        QCOMPARE(exec.ok, runs);
        QCOMPARE(doc.evaluate("window.viaExec === 1").toBool(), runs);
        const PageElement appended = doc.createElement("script");
        appended.setProperty("language", language);
        appended.setProperty("text", "window.appended = 1;");
        const PageResult append = doc.body().appendChild(appended);
        QCOMPARE(append.ok, runs);
        if (!runs) {
            for (const PageResult& r : {set, exec, append})
                QCOMPARE(r.error, platform::pagetext::noLanguage(language));
            QVERIFY(set.error.contains(QStringLiteral("不支持的脚本语言")));
        }
    }

    // ---------------------------------------------------------------- batches

    // Steps sent together run in order, in one round trip, each with its own outcome: a
    // script's error is its own step's failure, a step on an element that was not given fails
    // alike, and the steps after them still run.
    void batchRunsStepsInOrderInOneTrip() {
        const PageDocument doc = open("/page.html");
        platform::PageBatch batch(doc);
        const int style = batch.createElement("style");
        batch.setProperty(style, "type", "text/css");
        batch.setProperty(style, "styleSheet.cssText", "#bd { color: rgb(4, 5, 6); }");
        const int head = batch.getElementsByTagName("head", 0);
        batch.appendChild(head, style);
        const int div = batch.createElement("div");
        batch.setProperty(div, "id", "bd");
        batch.appendHtml(div, "<b>a</b>");
        batch.appendHtml(div, "tail");
        const int body = batch.body();
        const int appendDiv = batch.appendChild(body, div);
        const int bad = batch.createElement("script");
        batch.setProperty(bad, "text",
                          "window.order = (window.order || '') + 'x'; throw new Error('boom');");
        const int failing = batch.appendChild(body, bad);
        const int missing = batch.getElementsByTagName("frameset", 0);
        const int onMissing = batch.setProperty(missing, "id", "no");
        const int good = batch.createElement("script");
        batch.setProperty(good, "text", "window.order += 'y';");
        const int last = batch.appendChild(body, good);
        batch.run();
        QCOMPARE(batch.roundTrips(), 1);
        QVERIFY(batch.result(appendDiv).ok);
        QVERIFY(!batch.result(failing).ok);
        QVERIFY2(batch.result(failing).error.contains("boom"),
                 qPrintable(batch.result(failing).error));
        QVERIFY(batch.result(missing).ok);
        QCOMPARE(batch.result(onMissing).error, platform::pagetext::nullElement());
        QVERIFY(batch.result(last).ok);
        QCOMPARE(doc.evaluate("window.order").toString(), QStringLiteral("xy"));
        QCOMPARE(doc.getElementById("bd").getText("innerHTML"), QStringLiteral("<b>a</b>tail"));
        QCOMPARE(doc.evaluate("getComputedStyle(document.getElementById('bd')).color").toString(),
                 QStringLiteral("rgb(4, 5, 6)"));
    }

    // The layer's side of the calls is in the document before the page's own scripts run: a
    // page that replaces at its start what the calls use still takes the program's work, each
    // script's error still comes back as its own step's failure, and a mark is heard while
    // the batch is still in the page.
    void pageReplacingWhatCallsUse() {
        const PageDocument doc = open("/replacing.html");
        QVERIFY2(!doc.isNull(), qPrintable(doc.failure()));
        platform::PageBatch batch(doc);
        const int body = batch.body();
        const int bad = batch.createElement("script");
        batch.setProperty(bad, "text", "throw new Error('own');");
        const int failing = batch.appendChild(body, bad);
        const int mark = batch.mark();
        // Holds the batch in the page for a while after the mark.
        const int slow = batch.createElement("script");
        batch.setProperty(slow, "text",
                          "var t = Date.now(); while (Date.now() - t < 800) {} window.after = 1;");
        const int last = batch.appendChild(batch.body(), slow);
        QElapsedTimer clock;
        clock.start();
        qint64 heardAt = -1;
        QList<int> heard;
        batch.run([&](int step) {
            heard << step;
            heardAt = clock.elapsed();
        });
        const qint64 ended = clock.elapsed();
        QVERIFY2(batch.result(failing).error.contains("own"),
                 qPrintable(batch.result(failing).error));
        QVERIFY2(batch.result(last).ok, qPrintable(batch.result(last).error));
        QCOMPARE(doc.evaluate("window.after").toInt(), 1);
        QCOMPARE(doc.getElementById("p").getText("innerHTML"), QStringLiteral("r"));
        QCOMPARE(heard, QList<int>{mark});
        QVERIFY2(heardAt + 400 < ended, qPrintable(QStringLiteral("mark heard at %1 ms, batch "
                                                                  "over at %2 ms")
                                                       .arg(heardAt)
                                                       .arg(ended)));
    }

    // Marks are heard once each and in order, also when the batch never reaches the page.
    void marksOfABatchThatDidNotRun() {
        QVERIFY(!open("/page.html").isNull());
        platform::PageBatch batch{PageDocument()};
        batch.body();
        const int first = batch.mark();
        const int second = batch.mark();
        QList<int> heard;
        batch.run([&](int step) { heard << step; });
        QCOMPARE(heard, QList<int>({first, second}));
        QVERIFY(!batch.result(first).ok);
    }

    // Whatever a text holds reaches the page as given, in a batch and in a single call, short
    // or long (escapes anywhere in long runs of plain text).
    void textsReachThePageAsGiven_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes and backslashes") << "a\"b'c\\d\\\"";
        QTest::newRow("line ends and tabs") << "l1\r\nl2\n\tx\r";
        QTest::newRow("control characters") << QString::fromUtf16(u"\u0001\u001f\u007f");
        QTest::newRow("line separators") << QString::fromUtf16(u"a\u2028b\u2029c");
        QTest::newRow("Chinese and an astral character") << QString::fromUtf16(u"第一步\U0001F600");
        QTest::newRow("lone surrogate halves") << QString(QChar(0xD800)) + "x" + QChar(0xDC00);
        QTest::newRow("script end tag") << "</script><!--";
        QString tricky = QString::fromUtf16(u"\"\\\r\n\u0000\u2028\u2029\u7b2c") + QChar(0xD800) +
                         QChar(0xDC00) + QChar(0xDFFF) + QChar(0xDBFF) + QChar(0xDC01);
        QString mixed;
        for (int i = 0; i < 300; ++i)
            mixed +=
                QStringLiteral("plain text %1 ").arg(i) + tricky.mid(i % tricky.size(), 1 + i % 3);
        QTest::newRow("long, escapes everywhere") << mixed;
    }
    void textsReachThePageAsGiven() {
        QFETCH(QString, text);
        // The same text written with an escape for every character.
        QString asJs;
        for (const QChar c : text)
            asJs += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
        const PageDocument doc = open("/page.html");
        platform::PageBatch batch(doc);
        const int div = batch.createElement("div");
        batch.setProperty(div, "id", "given");
        batch.setProperty(div, "title", text);
        batch.appendChild(batch.body(), div);
        batch.run();
        QVERIFY(batch.result(batch.size() - 1).ok);
        const QString same =
            QStringLiteral("document.getElementById('given').title === '%1'").arg(asJs);
        QVERIFY(doc.evaluate(same).toBool());
        QVERIFY(doc.getElementById("given").setProperty("title", text).ok);
        QVERIFY(doc.evaluate(same).toBool());
    }

    // In a strict group the first failure ends the group; the next group runs all the same.
    void batchStrictGroupEndsAtItsFirstFailure() {
        const PageDocument doc = open("/page.html");
        platform::PageBatch batch(doc);
        batch.beginGroup(true);
        const int body = batch.body();
        const int a = batch.createElement("script");
        batch.setProperty(a, "text", "window.seen = 'a';");
        batch.appendChild(body, a);
        const int own = batch.fail("own failure");
        const int b = batch.createElement("script");
        batch.setProperty(b, "text", "window.seen += 'b';");
        const int skipped = batch.appendChild(body, b);
        batch.beginGroup(false);
        const int c = batch.createElement("script");
        batch.setProperty(c, "text", "window.seen += 'c';");
        const int after = batch.appendChild(batch.body(), c);
        batch.run();
        QCOMPARE(batch.result(own).error, QStringLiteral("own failure"));
        QVERIFY(!batch.ran(b));
        QVERIFY(!batch.ran(skipped));
        QVERIFY(batch.result(skipped).error.isEmpty());
        QVERIFY(batch.result(after).ok);
        QCOMPARE(doc.evaluate("window.seen").toString(), QStringLiteral("ac"));
    }

    // A page whose policy blocks inline scripts: each blocked script runs through the engine's
    // own entry before the steps after it.
    void batchKeepsOrderDespitePagePolicy() {
        const PageDocument doc = open("/csp.html");
        platform::PageBatch batch(doc);
        const int body = batch.body();
        const int a = batch.createElement("script");
        batch.setProperty(a, "text", "window.order = 'a';");
        batch.appendChild(body, a);
        const int div = batch.createElement("div");
        batch.setProperty(div, "id", "between");
        batch.appendChild(body, div);
        const int b = batch.createElement("script");
        batch.setProperty(b, "text",
                          "window.order += document.getElementById('between') ? 'b' : '?';");
        const int lastScript = batch.appendChild(body, b);
        const int c = batch.createElement("script");
        batch.setProperty(c, "text", "throw new Error('late');");
        const int failing = batch.appendChild(body, c);
        batch.run();
        QVERIFY(batch.result(lastScript).ok);
        QVERIFY(!batch.result(failing).ok);
        QCOMPARE(doc.evaluate("window.order").toString(), QStringLiteral("ab"));
    }

    // A page whose policy forbids inline scripts still runs the code the program adds.
    void codeRunsDespitePagePolicy() {
        const PageDocument doc = open("/csp.html");
        QVERIFY(doc.evaluate("(function () { var s = document.createElement('script');"
                             " s.text = 'window.inline = 1'; document.body.appendChild(s);"
                             " return window.inline === undefined; })()")
                    .toBool());  // the policy is in force
        const PageElement el = doc.createElement("script");
        el.setProperty("language", "javascript");
        el.setProperty("text", "function fromSkin() { return 'skin'; }");
        QVERIFY(doc.body().appendChild(el).ok);
        QCOMPARE(doc.evaluate("fromSkin()").toString(), QStringLiteral("skin"));
        for (int i = 1; i <= 2; ++i) {
            QVERIFY(el.setProperty("text", "window.runs = (window.runs || 0) + 1;").ok);
            QCOMPARE(doc.evaluate("window.runs").toInt(), i);
        }
        QCOMPARE(el.getText("text"), QStringLiteral("window.runs = (window.runs || 0) + 1;"));
        QVERIFY(doc.execScript("var viaExec = 3;").ok);
        QCOMPARE(doc.evaluate("window.viaExec").toInt(), 3);
        QVERIFY(!doc.execScript("notDefinedAnywhere();").ok);
        QVERIFY(!el.setProperty("text", "function ( {").ok);
        // The language rule holds here too.
        const PageElement vb = doc.createElement("script");
        vb.setProperty("language", "VBScript");
        vb.setProperty("text", "window.vb = 1;");
        QCOMPARE(doc.body().appendChild(vb).error, platform::pagetext::noLanguage("VBScript"));
        QVERIFY(doc.evaluate("window.vb === undefined").toBool());
    }

    void pageDialogsGoThroughMessageBoxes() {
        const PageDocument doc = open("/page.html");
        platform::clearShownDialogs();
        QVERIFY(doc.execScript("alert('from the page');").ok);
        platform::queueMessageAnswer(platform::MsgAnswer::Cancel);
        QVERIFY(doc.execScript("window.answer = confirm('sure?');").ok);
        QCOMPARE(doc.evaluate("window.answer").toBool(), false);
        const auto shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].title, QStringLiteral("来自网页的消息"));
        QCOMPARE(shown[0].text, QStringLiteral("from the page"));
        QCOMPARE(shown[1].buttons, platform::MsgButtons::OkCancel);
    }

    // Page dialogs show their text as text: an element's markup is not rendered.
    void pageDialogsShowTextAsText() {
        const PageDocument doc = open("/page.html");
        platform::setDialogsAutomatic(false);
        QStringList seen;
        // Answers each box as a user does, once it is up, and notes what it showed.
        std::function<void()> answer = [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                QTimer::singleShot(20, this, answer);
                return;
            }
            const auto labels = modal->findChildren<QLabel*>();
            for (QLabel* label : labels)
                if (label->text().contains(QStringLiteral("<b>")))
                    seen << QString::number(label->textFormat()) + ':' + label->text();
            if (auto* input = modal->findChild<QLineEdit*>()) {
                input->selectAll();
                QTest::keyClicks(input, QStringLiteral("<i>typed</i>"));
            }
            QTest::keyClick(modal, Qt::Key_Return);
        };
        for (const char* call :
             {"alert('<b>bold</b> & more');", "window.c = confirm('<b>sure</b>?');",
              "window.p = prompt('<b>name</b>', '');"}) {
            QTimer::singleShot(20, this, answer);
            const PageResult r = doc.execScript(QString::fromLatin1(call));
            QVERIFY2(r.ok, qPrintable(r.error));
        }
        platform::setDialogsAutomatic(true);
        const QString plain = QString::number(Qt::PlainText) + ':';
        QCOMPARE(seen, QStringList({plain + "<b>bold</b> & more", plain + "<b>sure</b>?",
                                    plain + "<b>name</b>"}));
        QCOMPARE(doc.evaluate("window.c").toBool(), true);
        QCOMPARE(doc.evaluate("window.p").toString(), QStringLiteral("<i>typed</i>"));
    }

    void handlesOfAnEarlierDocumentFail() {
        const PageDocument first = open("/page.html");
        const PageElement p = first.getElementById("p");
        QCOMPARE(p.getText("innerHTML"), QStringLiteral("x"));
        const PageDocument second = open("/other.html");
        QVERIFY(!second.isNull());
        QVERIFY(!first.isValid());
        PageResult r;
        p.getProperty("innerHTML", &r);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, platform::pagetext::stale());
        first.body(&r);
        QVERIFY(!r.ok);
        QVERIFY(second.body().getText("innerHTML").contains("other"));
    }

    // A handle bound by its first call: no round trip of its own, and once bound it is a
    // handle of that document like any other: copies share the binding, a handle obtained
    // the usual way meets the same document, and a later document makes it stale.
    void handleBoundByItsFirstCall() {
        QVERIFY(!open("/page.html").isNull());
        const PageDocument lazy = wb_->DocumentOnFirstCall();
        QVERIFY(!lazy.isNull());
        const PageDocument copy = lazy;
        const PageElement p = copy.getElementById("p");
        QCOMPARE(p.getText("innerHTML"), QStringLiteral("x"));
        QVERIFY(lazy.isValid());
        QVERIFY(lazy.execScript("window.fromLazy = 1;").ok);
        const PageDocument usual = wb_->Document();
        QCOMPARE(usual.evaluate("window.fromLazy").toInt(), 1);
        QCOMPARE(lazy.getElementById("p").getText("innerHTML"), QStringLiteral("x"));

        QVERIFY(!open("/other.html").isNull());
        QVERIFY(!lazy.isValid());
        PageResult r;
        lazy.body(&r);
        QCOMPARE(r.error, platform::pagetext::stale());
        // A fresh one binds to the document shown when its first call gets there.
        QVERIFY(wb_->DocumentOnFirstCall().body().getText("innerHTML").contains("other"));
        QVERIFY(PageDocument::onFirstCall(nullptr).isNull());
    }

    void documentTreeWalk() {
        const PageDocument doc = open("/tree.html");
        PageResult r;
        const platform::DomNode html = doc.getElementsByTagName("html", 0).domTree(&r);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(html.nodeName, QStringLiteral("HTML"));
        QVERIFY(html.hasAttributes);
        QCOMPARE(html.children.size(), 2);
        const platform::DomNode& body = html.children[1];
        QCOMPARE(body.nodeName, QStringLiteral("BODY"));
        QCOMPARE(body.children.size(), 2);
        const platform::DomNode& div = body.children[0];
        QCOMPARE(div.id, QStringLiteral("main"));
        QCOMPARE(div.children.size(), 3);
        QVERIFY(div.children[0].isText);
        QCOMPARE(div.children[0].nodeName, QStringLiteral("#text"));
        QCOMPARE(div.children[0].nodeValue, QStringLiteral("t"));
        QVERIFY(!div.children[0].hasAttributes);
        QCOMPARE(div.children[1].nodeName, QStringLiteral("#comment"));
        QCOMPARE(div.children[1].nodeValue, QStringLiteral("c"));
        QVERIFY(!div.children[1].isText);
        QVERIFY(!div.children[1].hasAttributes);
        QCOMPARE(div.children[2].nodeName, QStringLiteral("SPAN"));
        QVERIFY(div.children[2].hasAttributes);
        QVERIFY(div.children[2].id.isEmpty());
        QCOMPARE(div.children[2].children.size(), 1);
        QCOMPARE(body.children[1].nodeName, QStringLiteral("P"));
    }

    // A call whose document is replaced while it waits gets no answer. The page has moved on
    // and is not stuck: the document that took its place answers at once (the recorder asks
    // the new page as soon as it is complete, and would otherwise leave it without its
    // recorder).
    void callOutlivedByItsDocumentLeavesThePageAnswering() {
        QVERIFY(!open("/page.html").isNull());
        // Busy for a while: a call sent now waits behind the loop.
        QVERIFY(wb_->Document()
                    .execScript("setTimeout(function () { var t = Date.now();"
                                " while (Date.now() - t < 4000) {} }, 100);")
                    .ok);
        QTest::qWait(300);
        // Another site, so that another renderer takes the new document meanwhile.
        QString other = server_->url("/other.html");
        other.replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
        QSignalSpy started(wb_->page(), &QWebEnginePage::loadStarted);
        QSignalSpy done(wb_, &WebBrowser::DocumentComplete);
        wb_->Navigate(other);
        QVERIFY(started.wait(5000));
        PageResult r;
        (void)wb_->Document(&r);
        QVERIFY(!r.ok);
        QVERIFY(!done.isEmpty() || done.wait(15000));
        QCOMPARE(wb_->LocationURL(), other);
        const PageDocument next = wb_->Document(&r);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(next.body().getText("innerHTML").contains("other"));
    }

    // Last: the page's renderer stays stuck until the control navigates again.
    void runawayPageScriptIsBounded() {
        const PageDocument doc = open("/hang.html");
        QVERIFY(!doc.isNull());
        QTest::qWait(600);  // the page is now looping
        PageDocument bounded = doc;
        bounded.setTimeout(800);
        QElapsedTimer t;
        t.start();
        PageResult r;
        bounded.body(&r);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, platform::pagetext::noAnswer());
        QVERIFY(t.elapsed() < 5000);
        // Known stuck: later calls give up without waiting out the bound again.
        t.restart();
        QVERIFY(!doc.execScript("1;").ok);
        QVERIFY(t.elapsed() < 500);
        // A handle asked for now is empty, and says that the page does not answer: the page
        // is there.
        const PageDocument stuck = wb_->Document(&r);
        QVERIFY(stuck.isNull());
        QCOMPARE(r.error, platform::pagetext::noAnswer());
        QCOMPARE(stuck.body(&r).isNull(), true);
        QCOMPARE(r.error, platform::pagetext::noAnswer());
        QCOMPARE(stuck.execScript("1;").error, platform::pagetext::noAnswer());
        QCOMPARE(PageDocument().execScript("1;").error, platform::pagetext::noPage());
        // Navigating away recovers the control.
        const PageDocument next = open("/other.html");
        QVERIFY(!next.isNull());
        QVERIFY(next.body().getText("innerHTML").contains("other"));
    }
};

SUITE_TEST_MAIN(PageDocumentTest)
#include "tst_pagedocument.moc"
