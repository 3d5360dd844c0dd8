#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <memory>

#include "livepage/browserhost.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"

using livePage::BrowserHost;
using livePage::BrowserHostSettings;
using platform::BrowserArray;
using platform::WebBrowser;

// A hosting window reduced to what the host needs: element 0, the combo and the address row,
// with the window's own routines counting their runs.
struct HostWindow {
    qint16 curBrowserIndex = 0;
    qint16 newWindowMode = 0;
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    BrowserArray* array = new BrowserArray(QStringLiteral("recordWB"), window.get());
    QComboBox* combo = new QComboBox(window.get());
    QLineEdit* urlText = new QLineEdit(window.get());
    QPushButton* jump = new QPushButton(QStringLiteral("跳 转"), window.get());
    BrowserHost host{&curBrowserIndex, &newWindowMode, recorderSettings()};
    int layouts = 0;
    QStringList actions;  // LocationURL of the element given to each top-document action

    static BrowserHostSettings recorderSettings() {
        BrowserHostSettings s;
        s.silentOnComplete = true;
        return s;
    }

    HostWindow() {
        window->resize(700, 500);
        WebBrowser* first = array->loadElement(0, window.get());
        first->setLeft(120);
        first->setTop(480);
        first->setWidth(6000);
        first->setHeight(4500);
        first->show();
        host.attach(window.get(), array, combo, urlText, jump);
        host.layoutControls = [this] { ++layouts; };
        host.topDocumentAction = [this](WebBrowser* wb) { actions << wb->LocationURL(); };
        window->show();
    }
};

class BrowserHostTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<HostWindow> caseWindow_;  // one page for every row of the address rule

    static bool waitForCompletions(QSignalSpy& spy, int count) {
        while (spy.size() < count)
            if (!spy.wait(15000)) return false;
        return true;
    }

    // Loads page into element index and waits for its completion.
    bool show(HostWindow& w, int index, const QString& path) {
        QSignalSpy done(w.array, &BrowserArray::DocumentComplete);
        w.array->element(index)->Navigate(server_->url(path));
        return waitForCompletions(done, 1);
    }

    // The page in element index opens a window; waits until the new page has completed.
    static bool popUp(HostWindow& w, int index, const QString& path) {
        QSignalSpy done(w.array, &BrowserArray::DocumentComplete);
        const auto r = w.array->element(index)->Document().execScript(
            QStringLiteral("window.open('%1');").arg(path));
        return r.ok && waitForCompletions(done, 1);
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/a.html", "<html><body>a</body></html>");
        server_->page("/b.html", "<html><body>b</body></html>");
        server_->page("/c.html", "<html><body>c</body></html>");
        server_->page("/Case.html", "<html><body>case</body></html>");
    }

    void loadStepSelectsLockAndShowsBlank() {
        HostWindow w;
        w.newWindowMode = -1;
        QCOMPARE(w.combo->count(), 2);
        QCOMPARE(w.combo->itemText(0), QStringLiteral("锁定新窗口"));
        QCOMPARE(w.combo->itemText(1), QStringLiteral("屏蔽新窗口"));
        QCOMPARE(w.urlText->text(), QStringLiteral("http://"));
        QSignalSpy done(w.array, &BrowserArray::DocumentComplete);
        QVERIFY(w.host.runLoadStep());
        QCOMPARE(w.newWindowMode, qint16(0));
        QVERIFY(waitForCompletions(done, 1));
        // about:blank ends the completion after Silent: no address, no action.
        QCOMPARE(w.array->element(0)->LocationURL(), QStringLiteral("about:blank"));
        QVERIFY(w.array->element(0)->Silent());
        QCOMPARE(w.urlText->text(), QStringLiteral("http://"));
        QVERIFY(w.actions.isEmpty());

        // A window opened again after a kept new window: the element in use is gone.
        w.curBrowserIndex = 3;
        QVERIFY(!w.host.runLoadStep());
    }

    void comboSetsMode() {
        HostWindow w;
        w.host.selectNewWindowItem(1);
        QCOMPARE(w.newWindowMode, qint16(-1));
        w.host.selectNewWindowItem(0);
        QCOMPARE(w.newWindowMode, qint16(0));
        w.host.selectNewWindowItem(-1);  // no item: unchanged
        QCOMPARE(w.newWindowMode, qint16(0));
    }

    void blockedPopUpIsRefused() {
        HostWindow w;
        w.host.selectNewWindowItem(1);
        QVERIFY(show(w, 0, "/a.html"));
        QSignalSpy asked(w.array, &BrowserArray::NewWindow2);
        QVERIFY(w.array->element(0)->Document().execScript("window.open('/b.html');").ok);
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, 15000);
        QCOMPARE(w.layouts, 1);
        QCOMPARE(w.curBrowserIndex, qint16(0));
        QCOMPARE(w.array->indexes(), QList<int>({0}));
        QVERIFY(w.array->element(0)->isVisible());
    }

    void chainMovesToNextElement() {
        HostWindow w;
        QVERIFY(show(w, 0, "/a.html"));
        QCOMPARE(w.actions, QStringList({server_->url("/a.html")}));
        WebBrowser* first = w.array->element(0);

        QVERIFY(popUp(w, 0, "/b.html"));
        QCOMPARE(w.curBrowserIndex, qint16(1));
        QCOMPARE(w.array->indexes(), QList<int>({0, 1}));
        WebBrowser* second = w.array->element(1);
        QCOMPARE(second->geometry(), first->geometry());
        QVERIFY(second->isVisible());
        QVERIFY(first->isHidden());
        QCOMPARE(first->LocationURL(), server_->url("/a.html"));
        QCOMPARE(w.layouts, 1);
        QCOMPARE(w.urlText->text(), server_->url("/b.html"));
        QCOMPARE(w.actions.last(), server_->url("/b.html"));

        QPointer<WebBrowser> gone(second);
        QVERIFY(popUp(w, 1, "/c.html"));
        QCOMPARE(w.curBrowserIndex, qint16(2));
        QCOMPARE(w.array->indexes(), QList<int>({0, 2}));
        QTRY_VERIFY(gone.isNull());
        QCOMPARE(w.array->element(2)->geometry(), first->geometry());
        QCOMPARE(w.layouts, 2);
        QCOMPARE(w.actions.last(), server_->url("/c.html"));

        // The hidden element 0 asks again: element 1 is made anew at element 0's place, and
        // element 2 stays loaded behind it.
        QVERIFY(popUp(w, 0, "/a.html"));
        QCOMPARE(w.curBrowserIndex, qint16(1));
        QCOMPARE(w.array->indexes(), QList<int>({0, 1, 2}));
        QCOMPARE(w.array->element(1)->LocationURL(), server_->url("/a.html"));
        QVERIFY(w.array->element(1)->isVisible());

        // ...and once more while element 1 exists: the old element 1 gives way to the new
        // window.
        QPointer<WebBrowser> old(w.array->element(1));
        QVERIFY(popUp(w, 0, "/b.html"));
        QCOMPARE(w.curBrowserIndex, qint16(1));
        QTRY_VERIFY(old.isNull());
        QCOMPARE(w.array->element(1)->LocationURL(), server_->url("/b.html"));
        QCOMPARE(w.urlText->text(), server_->url("/b.html"));
    }

    // A page's window that closes shows the element it came from, as the chain left it: the
    // hidden element 0 once the elements between have gone. An element no longer in use just
    // goes.
    void closedWindowShowsWhereItCameFrom() {
        HostWindow w;
        QVERIFY(show(w, 0, "/a.html"));
        QVERIFY(popUp(w, 0, "/b.html"));
        QVERIFY(popUp(w, 1, "/c.html"));
        QCOMPARE(w.array->indexes(), QList<int>({0, 2}));
        const int layouts = w.layouts;
        QVERIFY(w.array->element(2)->Document().execScript("window.close();").ok);
        QTRY_COMPARE_WITH_TIMEOUT(w.curBrowserIndex, qint16(0), 15000);
        QCOMPARE(w.array->indexes(), QList<int>({0}));
        QVERIFY(w.array->element(0)->isVisible());
        QCOMPARE(w.urlText->text(), server_->url("/a.html"));
        QCOMPARE(w.layouts, layouts + 1);

        QVERIFY(popUp(w, 0, "/b.html"));
        QVERIFY(popUp(w, 1, "/c.html"));
        QVERIFY(popUp(w, 0, "/a.html"));  // element 2 stays behind the new element 1
        QCOMPARE(w.array->indexes(), QList<int>({0, 1, 2}));
        QVERIFY(w.array->element(2)->Document().execScript("window.close();").ok);
        QTRY_COMPARE_WITH_TIMEOUT(w.array->indexes(), QList<int>({0, 1}), 15000);
        QCOMPARE(w.curBrowserIndex, qint16(1));
        QVERIFY(w.array->element(1)->isVisible());
    }

    void lastIndexRefusesNewWindow() {
        HostWindow w;
        WebBrowser* last = w.array->loadElement(32767, w.window.get());
        last->show();
        w.curBrowserIndex = 32767;
        QVERIFY(show(w, 32767, "/a.html"));
        QSignalSpy asked(w.array, &BrowserArray::NewWindow2);
        QVERIFY(last->Document().execScript("window.open('/b.html');").ok);
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, 15000);
        QCOMPARE(w.curBrowserIndex, qint16(32767));
        QCOMPARE(w.layouts, 1);
        QCOMPARE(w.array->indexes(), QList<int>({0, 32767}));
    }

    void completionJudgedAgainstElementInUse() {
        HostWindow w;
        QVERIFY(show(w, 0, "/a.html"));
        QVERIFY(popUp(w, 0, "/b.html"));
        w.actions.clear();
        // The hidden element 0 completes another page: the address row shows the element in
        // use, and the completion is not the top-level one of the element in use.
        QVERIFY(show(w, 0, "/c.html"));
        QCOMPARE(w.urlText->text(), server_->url("/b.html"));
        QVERIFY(w.actions.isEmpty());
        // A completion whose address is that of the element in use counts, from any element.
        w.host.onDocumentComplete(0, server_->url("/b.html"));
        QCOMPARE(w.actions, QStringList({server_->url("/b.html")}));
    }

    void topLevelRuleComparesExactly_data() {
        QTest::addColumn<QString>("eventUrl");
        QTest::addColumn<bool>("topLevel");
        QTest::newRow("same") << QStringLiteral("/Case.html") << true;
        QTest::newRow("letter case") << QStringLiteral("/case.html") << false;
        QTest::newRow("frame") << QStringLiteral("/a.html") << false;
        QTest::newRow("trailing slash") << QStringLiteral("/Case.html/") << false;
    }
    void topLevelRuleComparesExactly() {
        QFETCH(QString, eventUrl);
        QFETCH(bool, topLevel);
        if (!caseWindow_) {
            caseWindow_ = std::make_unique<HostWindow>();
            QVERIFY(show(*caseWindow_, 0, "/Case.html"));
        }
        HostWindow& w = *caseWindow_;
        w.actions.clear();
        w.urlText->clear();
        w.host.onDocumentComplete(0, server_->url(eventUrl));
        QCOMPARE(w.urlText->text(), server_->url("/Case.html"));
        QCOMPARE(w.actions.size(), topLevel ? 1 : 0);
    }

    void cleanupTestCase() { caseWindow_.reset(); }

    void addressRowNavigatesTextUnchanged() {
        HostWindow w;
        QVERIFY(show(w, 0, "/a.html"));
        WebBrowser* first = w.array->element(0);
        // Enter with the box at its first text: the control gets "http://" as it stands.
        w.urlText->setText(QStringLiteral("http://"));
        QSignalSpy error(first, &WebBrowser::NavigateError);
        QTest::keyClick(w.urlText, Qt::Key_Return);
        QVERIFY(error.wait(5000));
        QCOMPARE(error.first().at(1).toString(), QStringLiteral("http://"));
        QCOMPARE(first->LocationURL(), server_->url("/a.html"));

        // The button navigates the element in use.
        QVERIFY(popUp(w, 0, "/b.html"));
        QSignalSpy done(w.array, &BrowserArray::DocumentComplete);
        w.urlText->setText(server_->url("/c.html"));
        w.jump->click();
        QVERIFY(waitForCompletions(done, 1));
        QCOMPARE(done.first().at(0).toInt(), 1);
        QCOMPARE(w.array->element(1)->LocationURL(), server_->url("/c.html"));
        QCOMPARE(first->LocationURL(), server_->url("/a.html"));
    }
};

SUITE_TEST_MAIN(BrowserHostTest)
#include "tst_browserhost.moc"
