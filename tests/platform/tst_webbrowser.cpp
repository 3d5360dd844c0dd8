#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <memory>

#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "support/localsecrets.h"
#include "support/popuppages.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::BrowserArray;
using platform::NewWindowRequest;
using platform::WebBrowser;

class WebBrowserTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<QWidget> window_;

    static bool completes(WebBrowser* wb, const QString& address, QString* url = nullptr) {
        QSignalSpy done(wb, &WebBrowser::DocumentComplete);
        wb->Navigate(address);
        if (!done.wait(15000)) return false;
        if (url) *url = done.first().at(1).toString();
        return true;
    }

    // The new-window chain as the hosting windows run it: the next element takes the asking
    // element's place, shows the new page, and the asking element goes (element 0 only hides).
    static void chain(BrowserArray* array, QWidget* parent, int index, NewWindowRequest* r) {
        WebBrowser* from = array->element(index);
        WebBrowser* next = array->loadElement(index + 1, parent);
        QVERIFY(from && next);
        if (!parent) next->resize(from->size());
        next->setLeft(from->Left());
        next->setTop(from->Top());
        next->setHeight(from->Height());
        next->setWidth(from->Width());
        next->show();
        next->ZOrder();
        r->target = next;
        if (index != 0)
            array->unloadElement(index);
        else
            from->hide();
    }

    // A window's browser array in a host widget, its element 0 shown, new windows opening
    // along the chain; done sees every element's completions.
    struct ChainedArray {
        ChainedArray(QObject* context, QWidget* parent, const char* name)
            : host(parent), array(QString::fromLatin1(name)),
              done(&array, &BrowserArray::DocumentComplete) {
            host.resize(600, 400);
            host.show();
            first = array.loadElement(0, &host);
            first->setGeometry(10, 20, 300, 200);
            first->show();
            QObject::connect(&array, &BrowserArray::NewWindow2, context,
                             [this](int index, NewWindowRequest* r) {
                                 chain(&array, &host, index, r);
                             });
        }
        QWidget host;
        BrowserArray array;
        QSignalSpy done;
        WebBrowser* first = nullptr;
    };

    // Opens the page's context menu with a right click and picks the item of that text.
    static bool triggerMenuItem(WebBrowser* wb, const QString& text,
                                QStringList* offered = nullptr) {
        QWidget* input = wb->view()->focusProxy();
        const QPoint at(50, 50);
        QTest::mouseMove(input, at);
        QTest::mouseClick(input, Qt::RightButton, {}, at);
        QMenu* menu = nullptr;
        if (!QTest::qWaitFor(
                [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); },
                5000))
            return false;
        QAction* item = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text() == text) item = a;
            if (offered && !a->isSeparator()) *offered << a->text();
        }
        if (!item || !item->isEnabled()) {
            QStringList offered;
            for (QAction* a : menu->actions()) offered << a->text();
            qWarning("menu: %s", qPrintable(offered.join(" | ")));
            menu->close();
            return false;
        }
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        return QTest::qWaitFor([&] { return !QApplication::activePopupWidget(); }, 5000);
    }

    static int inkOf(QWidget* view) {
        const QImage image = view->grab().toImage();
        int ink = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                if (qGray(image.pixel(x, y)) < 100) ++ink;
        return ink;
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/a.html", "<html><body><p id=\"p\">a</p></body></html>");
        server_->page("/b.html", "<html><body>b</body></html>");
        server_->page("/frames.html",
                      "<html><body><iframe src=\"/b.html\"></iframe><iframe src=\"/a.html\">"
                      "</iframe></body></html>");
        server_->page("/opener.html",
                      "<html><body><a id=\"pop\" href=\"/b.html\" target=\"_blank\">b</a></body>"
                      "</html>");
        // The shared pop-up pages, with a writer that also keeps its window and writes in more
        // ways than the windows' tests need.
        servePopUpPages(server_);
        server_->page("/file.bin", QByteArray(64, 'x'), "application/octet-stream");
        server_->page(
            "/writer.html",
            "<html><body><script>"
            "function byAppend() { var c = window.open('', '_blank');"
            " var p = c.document.createElement('p'); p.id = 'w'; p.textContent = 'json';"
            " c.document.body.append(p); window.c = c; }"
            "function byWrite() { var c = window.open('');"
            " c.document.write('<p id=\"w\">json</p>'); c.document.close(); window.c = c; }"
            "function byBlank() { var c = window.open('about:blank');"
            " c.document.write('<p id=\"w\">json</p>'); c.document.close(); window.c = c; }"
            "function byWriteLater() { var c = window.open(''); window.c = c;"
            " setTimeout(function () { c.document.write('<p id=\"w\">json</p>');"
            " c.document.close(); }, 300); }"
            "function chained() { var c = window.open('');"
            " c.document.write('<script>window.open(\"' + location.origin + '/a.html\");"
            "<\\/script>'); c.document.close(); }"
            "function chainedBusy() { var c = window.open('');"
            " c.document.write('<script>window.open(\"' + location.origin + '/a.html\");"
            " var t0 = Date.now(); while (Date.now() - t0 < 300) {}"
            "<\\/script>'); c.document.close(); }"
            "function thenAway() { var c = window.open('');"
            " c.document.write('<p id=\"w\">json</p>'); c.location = '/b.html'; }"
            "</script>writer</body></html>");
        window_ = std::make_unique<QWidget>();
        window_->resize(800, 600);
        window_->show();
    }

    void cleanupTestCase() { window_.reset(); }

    void topLevelCompletionOnly() {
        WebBrowser wb(window_.get());
        wb.show();
        QCOMPARE(wb.ReadyState(), 0);
        QCOMPARE(wb.LocationURL(), QString());
        QSignalSpy done(&wb, &WebBrowser::DocumentComplete);
        QSignalSpy committed(&wb, &WebBrowser::NavigateComplete2);
        wb.Navigate(server_->url("/frames.html"));
        QCOMPARE(wb.ReadyState(), 1);
        QVERIFY(done.wait(15000));
        QTest::qWait(300);  // the frames have loaded by now
        QCOMPARE(done.size(), 1);
        QCOMPARE(done.first().at(0).value<WebBrowser*>(), &wb);
        QCOMPARE(done.first().at(1).toString(), server_->url("/frames.html"));
        QCOMPARE(wb.LocationURL(), server_->url("/frames.html"));
        QCOMPARE(wb.ReadyState(), 4);
        QCOMPARE(committed.size(), 1);

        QString url;
        QVERIFY(completes(&wb, "about:blank", &url));
        QCOMPARE(url, QStringLiteral("about:blank"));
        QCOMPARE(wb.LocationURL(), QStringLiteral("about:blank"));
    }

    // A control that lets its page go is as new, with no render process of its own, and
    // navigates again like one.
    void discardedPageLeavesTheControlAsNew() {
        WebBrowser wb(window_.get());
        wb.hide();
        wb.discardPage();  // never navigated: nothing to let go
        const auto* first = wb.page();
        QVERIFY(completes(&wb, server_->url("/a.html")));
        QVERIFY(wb.page()->renderProcessPid() > 0);
        wb.discardPage();
        QVERIFY(wb.page() != first);
        QCOMPARE(wb.page()->renderProcessPid(), 0);
        QCOMPARE(wb.ReadyState(), 0);
        QCOMPARE(wb.LocationURL(), QString());
        QVERIFY(completes(&wb, server_->url("/b.html")));
        QCOMPARE(wb.LocationURL(), server_->url("/b.html"));
        QCOMPARE(wb.Document().body().getText("innerHTML"), QStringLiteral("b"));
    }

    void failedNavigations() {
        WebBrowser wb(window_.get());
        QVERIFY(completes(&wb, server_->url("/a.html")));
        QSignalSpy error(&wb, &WebBrowser::NavigateError);
        // The server's error page is still a document.
        QString url;
        QVERIFY(completes(&wb, server_->url("/missing.html"), &url));
        QCOMPARE(error.size(), 1);
        QCOMPARE(error.first().at(2).toInt(), 404);
        QCOMPARE(url, server_->url("/missing.html"));
        // An address the engine cannot use fails without changing the page.
        wb.Navigate2("http://");
        QVERIFY(error.wait(5000));
        QCOMPARE(error.last().at(1).toString(), QStringLiteral("http://"));
        QCOMPARE(wb.ReadyState(), 4);
        QCOMPARE(wb.LocationURL(), server_->url("/missing.html"));
    }

    // A page stuck in an endless script is left at once, though no page call has found it
    // stuck yet.
    void navigationLeavesAStuckPage() {
        WebBrowser wb(window_.get());
        wb.setGeometry(0, 0, 400, 300);
        wb.show();
        QVERIFY(completes(&wb, server_->url("/hang.html")));
        QTest::qWait(600);
        // The page is looping now: a question never comes back.
        bool answered = false;
        wb.page()->runJavaScript("1", QWebEngineScript::MainWorld,
                                 [&answered](const QVariant&) { answered = true; });
        QTest::qWait(1000);
        QVERIFY(!answered);
        QSignalSpy done(&wb, &WebBrowser::DocumentComplete);
        wb.Navigate(server_->url("/a.html"));
        QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 15000);
        QCOMPARE(done.last().at(1).toString(), server_->url("/a.html"));
        QCOMPARE(wb.Document().getElementById("p").getText("innerHTML"), QStringLiteral("a"));
        // A page that answers is not disturbed by the question: a slow one keeps loading.
        QVERIFY(completes(&wb, server_->url("/slow.html")));
        QCOMPARE(wb.LocationURL(), server_->url("/slow.html"));
    }

    void geometryInTwips() {
        WebBrowser wb(window_.get());
        wb.setLeft(120);
        wb.setTop(480);
        wb.setWidth(8895);
        wb.setHeight(7335);
        QCOMPARE(wb.geometry(), QRect(8, 32, 593, 489));
        QCOMPARE(wb.Left(), 120);
        QCOMPARE(wb.Width(), 8895);
        wb.hide();
        QVERIFY(!wb.Visible());
        wb.show();
        QVERIFY(wb.Visible());
    }

    void newWindowOpensInHandedControl() {
        QWidget host(window_.get());
        host.resize(600, 400);
        host.show();
        BrowserArray array("recordWB");
        WebBrowser* first = array.loadElement(0, &host);
        QVERIFY(first);
        QVERIFY(!array.loadElement(0, &host));
        QVERIFY(!array.loadElement(40000, &host));
        first->setGeometry(10, 20, 300, 200);
        first->show();
        QList<int> asked;
        connect(&array, &BrowserArray::NewWindow2, this, [&](int index, NewWindowRequest* r) {
            asked << index;
            chain(&array, &host, index, r);
        });
        QSignalSpy done(&array, &BrowserArray::DocumentComplete);
        first->Navigate(server_->url("/opener.html"));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
        QVERIFY(first->Document().execScript("document.getElementById('pop').click();").ok);
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 15000);
        QCOMPARE(done.last().at(0).toInt(), 1);
        QCOMPARE(done.last().at(1).toString(), server_->url("/b.html"));
        WebBrowser* second = array.element(1);
        QVERIFY(second);
        QCOMPARE(second->LocationURL(), server_->url("/b.html"));
        QCOMPARE(second->geometry(), QRect(10, 20, 300, 200));
        QCOMPARE(second->Index(), 1);
        QVERIFY(first->isHidden());
        QCOMPARE(first->LocationURL(), server_->url("/opener.html"));

        // From element 1: element 2 takes over and element 1 is destroyed from inside its own
        // event handler.
        QPointer<WebBrowser> gone(second);
        const auto rr = second->Document().execScript("window.open('/a.html');");
        QVERIFY2(rr.ok, qPrintable(rr.error));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 3, 15000);
        QCOMPARE(asked, QList<int>({0, 1}));
        QCOMPARE(done.last().at(0).toInt(), 2);
        QVERIFY(!array.exists(1));
        QTRY_VERIFY(gone.isNull());
        QCOMPARE(array.indexes(), QList<int>({0, 2}));
        QCOMPARE(array.element(2)->LocationURL(), server_->url("/a.html"));
    }

    // A window opened without an address comes up with what its opener wrote, and stays the
    // opener's to write into.
    void emptyPopUpShowsWhatItsOpenerWrote_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("shown");
        QTest::newRow("append") << "byAppend();"
                                << "about:blank";
        QTest::newRow("document.write") << "byWrite();"
                                        << "about:blank";
        QTest::newRow("about:blank") << "byBlank();"
                                     << "about:blank";
        QTest::newRow("then away") << "thenAway();"
                                   << "/b.html";
    }
    void emptyPopUpShowsWhatItsOpenerWrote() {
        QFETCH(QString, call);
        QFETCH(QString, shown);
        ChainedArray pages(this, window_.get(), "debugWB");
        BrowserArray& array = pages.array;
        WebBrowser* first = pages.first;
        QSignalSpy& done = pages.done;
        first->Navigate(server_->url("/writer.html"));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
        const auto ran = first->Document().execScript(call);
        QVERIFY2(ran.ok, qPrintable(ran.error));
        QTRY_VERIFY_WITH_TIMEOUT(array.element(1) && array.element(1)->view(), 15000);
        WebBrowser* second = array.element(1);
        const QString address = shown.startsWith('/') ? server_->url(shown) : shown;
        QTRY_COMPARE_WITH_TIMEOUT(done.last().at(1).toString(), address, 15000);
        QCOMPARE(done.last().at(0).toInt(), 1);
        QCOMPARE(second->LocationURL(), address);
        if (shown.startsWith('/')) {
            QCOMPARE(second->Document().body().getText("innerHTML"), QStringLiteral("b"));
            return;
        }
        QCOMPARE(second->Document().getElementById("w").getText("innerHTML"),
                 QStringLiteral("json"));
        // The opener still writes into the window it shows, now with a view in place.
        QVERIFY(first->Document().execScript("c.document.body.append('more');").ok);
        QCOMPARE(second->Document().body().getText("innerHTML"),
                 QStringLiteral("<p id=\"w\">json</p>more"));
        QTest::qWait(300);
        QCOMPARE(second->Document().evaluate("document.body.textContent").toString(),
                 QStringLiteral("jsonmore"));
        // The window goes on like any other: it opens a window of its own. (An address relative
        // to a window that was never given a document of its own resolves against about:blank.)
        QVERIFY(second->Document()
                    .execScript(QStringLiteral("window.open('%1');").arg(server_->url("/a.html")))
                    .ok);
        QTRY_VERIFY_WITH_TIMEOUT(array.element(2) && array.element(2)->view(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(array.element(2)->LocationURL(), server_->url("/a.html"), 15000);
    }

    // The engine used to crash at the first paint of a window its opener had written into (it
    // came 20 times in 20): written windows, in child controls and in top-level ones, each
    // painted what was written, as often.
    void writtenPopUpsPaintEveryTime() {
        const QStringList calls = {"byWrite();", "byBlank();", "byWriteLater();", "byAppend();"};
        QWidget host(window_.get());
        host.resize(600, 400);
        host.show();
        for (int run = 0; run < 20; ++run) {
            const bool topLevel = run % 2 == 1;
            BrowserArray array("debugWB");
            WebBrowser* first = array.loadElement(0, &host);
            first->setGeometry(10, 20, 300, 200);
            first->show();
            connect(&array, &BrowserArray::NewWindow2, this, [&](int index, NewWindowRequest* r) {
                chain(&array, topLevel ? nullptr : &host, index, r);
            });
            QSignalSpy done(&array, &BrowserArray::DocumentComplete);
            first->Navigate(server_->url("/writer.html"));
            QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 15000);
            const QString call = calls.at(run % calls.size());
            QVERIFY2(first->Document().execScript(call).ok, qPrintable(call));
            QTRY_VERIFY_WITH_TIMEOUT(array.element(1) && array.element(1)->view(), 15000);
            WebBrowser* second = array.element(1);
            QTRY_COMPARE_WITH_TIMEOUT(
                second->Document().evaluate("(document.getElementById('w') || {}).textContent"),
                QVariant(QStringLiteral("json")), 15000);
            // Painted: the written text shows in the view.
            QTRY_VERIFY_WITH_TIMEOUT(inkOf(second->view()) > 0, 15000);
            QVERIFY2(first->Document().evaluate("c.document.getElementById('w') !== null").toBool(),
                     qPrintable(call));
            delete second;
            delete first;
        }
    }

    // A written window that opens a window of its own at once, before it has a view, and goes
    // (the chain destroys it): the window it opened shows its page. Also when the written
    // window's script runs on after the opening, so that the new window's page starts loading
    // only after its control had the time to get a view.
    void popUpOfAPopUpWithoutView_data() {
        QTest::addColumn<QString>("call");
        QTest::newRow("at once") << QStringLiteral("chained();");
        QTest::newRow("opener busy after") << QStringLiteral("chainedBusy();");
    }
    void popUpOfAPopUpWithoutView() {
        QFETCH(QString, call);
        ChainedArray pages(this, window_.get(), "boxWB");
        BrowserArray& array = pages.array;
        WebBrowser* first = pages.first;
        QSignalSpy& done = pages.done;
        first->Navigate(server_->url("/writer.html"));
        QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 15000);
        QVERIFY(first->Document().execScript(call).ok);
        QTRY_VERIFY_WITH_TIMEOUT(array.element(2) && array.element(2)->view(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(array.element(2)->LocationURL(), server_->url("/a.html"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(inkOf(array.element(2)->view()) > 0, 15000);
        QVERIFY(!array.exists(1));
    }

    // The page's context menu, opened with the mouse: every action it offers does what it says.
    // 保存页面 saves through the save dialog, 打印 prints through the print dialog.
    void contextMenuSavesAndPrints() {
        QTemporaryDir dir;
        WebBrowser wb(window_.get());
        wb.setGeometry(0, 0, 400, 300);
        wb.show();
        QVERIFY(completes(&wb, server_->url("/a.html")));
        QTRY_VERIFY_WITH_TIMEOUT(inkOf(wb.view()) > 0, 15000);

        const QString saved = dir.filePath(QStringLiteral("页面.htm"));
        platform::clearShownDialogs();
        platform::queueFileAnswer(saved);
        QStringList offered;
        QVERIFY(triggerMenuItem(&wb, QStringLiteral("保存页面"), &offered));
        QCOMPARE(offered, QStringList({QStringLiteral("后退"), QStringLiteral("前进"),
                                       QStringLiteral("重新加载"), QStringLiteral("保存页面"),
                                       QStringLiteral("打印(&P)...")}));
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(saved).contains("<p id=\"p\">a</p>"), 15000);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs().first().kind, platform::DialogKind::SaveFile);
        QCOMPARE(platform::shownDialogs().first().title, QStringLiteral("保存页面"));

        const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
        platform::clearShownDialogs();
        platform::queuePrintAnswer(pdf);
        QVERIFY(triggerMenuItem(&wb, QStringLiteral("打印(&P)...")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pdf).size() > 0, 15000);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs().first().kind, platform::DialogKind::Print);

        // Cancelled: nothing is saved, nothing printed, nothing said.
        platform::clearShownDialogs();
        QVERIFY(triggerMenuItem(&wb, QStringLiteral("保存页面")));
        QVERIFY(triggerMenuItem(&wb, QStringLiteral("打印(&P)...")));
        QTRY_COMPARE_WITH_TIMEOUT(platform::shownDialogs().size(), 2, 5000);
        QTest::qWait(300);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }

    // An address that answers with a file: saved where the user says.
    void fileAnswerIsSavedThroughTheDialog() {
        QTemporaryDir dir;
        WebBrowser wb(window_.get());
        QVERIFY(completes(&wb, server_->url("/a.html")));
        const QString path = dir.filePath(QStringLiteral("data.bin"));
        platform::clearShownDialogs();
        platform::queueFileAnswer(path);
        QSignalSpy error(&wb, &WebBrowser::NavigateError);
        wb.Navigate(server_->url("/file.bin"));
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(path), QByteArray(64, 'x'), 15000);
        QCOMPARE(platform::shownDialogs().first().title, QStringLiteral("另存为"));
        // The page stays; the navigation has ended all the same.
        QTRY_COMPARE_WITH_TIMEOUT(error.size(), 1, 15000);
        QCOMPARE(wb.ReadyState(), 4);
        QCOMPARE(wb.LocationURL(), server_->url("/a.html"));
    }

    // Page calls made while a new window still shows its first, empty document must not hold
    // on to that document once the window's page is there (both share one window object).
    void pageCallsReachTheDocumentShownNow() {
        ChainedArray pages(this, window_.get(), "recordWB");
        BrowserArray& array = pages.array;
        WebBrowser* first = pages.first;
        QSignalSpy& done = pages.done;
        first->Navigate(server_->url("/a.html"));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
        QVERIFY(first->Document().execScript("window.open('/slow.html');").ok);
        QTRY_VERIFY_WITH_TIMEOUT(array.element(1), 15000);
        WebBrowser* second = array.element(1);
        // The slow page has not come yet: a call now meets the empty first document.
        platform::PageResult r;
        const platform::PageDocument early = second->Document(&r);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(early.getElementById("s").isNull());
        QTRY_COMPARE_WITH_TIMEOUT(second->LocationURL(), server_->url("/slow.html"), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(second->ReadyState(), 4, 15000);
        const platform::PageDocument now = second->Document();
        QCOMPARE(now.getElementById("s").getText("innerHTML"), QStringLiteral("slow"));
        const platform::PageElement field = now.createElement("input");
        QVERIFY(field.setProperty("id", "tv_hidden").ok);
        QVERIFY(now.body().appendChild(field).ok);
        QVERIFY(second->Document()
                    .evaluate("!!document.getElementById('tv_hidden') && "
                              "!!document.getElementById('s')")
                    .toBool());
        // The handle of the dead document says so instead of acting on it.
        early.body(&r);
        QVERIFY(!r.ok);
    }

    void cancelledNewWindowOpensNothing() {
        QWidget host(window_.get());
        BrowserArray array("boxWB");
        WebBrowser* wb = array.loadElement(0, &host);
        int asked = 0;
        connect(&array, &BrowserArray::NewWindow2, this, [&](int, NewWindowRequest* r) {
            ++asked;
            r->cancel = true;
        });
        QSignalSpy done(&array, &BrowserArray::DocumentComplete);
        wb->Navigate(server_->url("/opener.html"));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
        QVERIFY(wb->Document()
                    .execScript("window.open('/b.html'); "
                                "document.getElementById('pop').click();")
                    .ok);
        QTRY_COMPARE_WITH_TIMEOUT(asked, 2, 15000);
        QTest::qWait(300);
        QCOMPARE(done.size(), 1);
        QCOMPARE(array.indexes(), QList<int>({0}));
        QCOMPARE(wb->LocationURL(), server_->url("/opener.html"));
    }

    // A page shown from a file may show itself and nothing more: no other file, not even one
    // beside it, and no web address, whatever it tries. So for a page that a new-window
    // request handed over to another control.
    void localPageReachesNothing_data() {
        QTest::addColumn<bool>("handedOver");
        QTest::newRow("own control") << false;
        QTest::newRow("handed over by a new window") << true;
    }
    void localPageReachesNothing() {
        QFETCH(bool, handedOver);
        LocalSecrets secrets;
        QVERIFY(secrets.isValid());
        QTemporaryDir own;
        const QString pagePath = own.filePath(QStringLiteral("page.html"));
        QFile page(pagePath);
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<html><head></head><body><p>local</p></body></html>");
        page.close();
        QVERIFY(LocalSecrets::writeBeside(pagePath));

        QWidget host(window_.get());
        host.resize(600, 400);
        host.show();
        BrowserArray array("wb");
        WebBrowser* wb = array.loadElement(0, &host);
        wb->show();
        // Once the page goes for the files, its new windows open in a control of their own, so
        // that the page stays to be looked at.
        WebBrowser popUp(&host);
        bool stealing = false;
        connect(&array, &BrowserArray::NewWindow2, this, [&](int index, NewWindowRequest* r) {
            if (stealing)
                r->target = &popUp;
            else
                chain(&array, &host, index, r);
        });
        if (handedOver) {
            QVERIFY(completes(wb, server_->url("/opener.html")));
            QSignalSpy done(&array, &BrowserArray::DocumentComplete);
            QVERIFY(wb->Document().execScript("document.getElementById('pop').click();").ok);
            QVERIFY(done.wait(15000));
            wb = array.element(1);
            QVERIFY(wb);
        }
        QVERIFY(completes(wb, QUrl::fromLocalFile(pagePath).toString()));
        server_->clearRequests();
        stealing = true;
        QStringList files = secrets.fileUrls();
        files << QUrl::fromLocalFile(own.filePath(QStringLiteral("same.txt"))).toString();
        wb->Document().evaluate(stealingScript(files, server_->url("/sink")));
        QTRY_VERIFY_WITH_TIMEOUT(wb->Document().evaluate("window.__done === true").toBool(), 15000);
        QTest::qWait(300);
        QCOMPARE(wb->Document().evaluate("window.__stolen").toString(), QString());
        QList<WebBrowser*> shows{&popUp};
        for (const int index : array.indexes()) shows << array.element(index);
        for (WebBrowser* b : shows) {
            const QString shown =
                b->Document().evaluate("document.documentElement.outerHTML").toString();
            QVERIFY2(!shown.contains(QString::fromLatin1(LocalSecrets::secret())),
                     qPrintable(shown.left(300)));
        }
        QVERIFY(server_->requests().isEmpty());
    }
};

SUITE_TEST_MAIN(WebBrowserTest)
#include "tst_webbrowser.moc"
