#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <memory>

#include "library/base64.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/debugwndform.h"
#include "livepage/recordwndform.h"
#include "platform/webbrowser.h"
#include "support/popupcases.h"
#include "support/popuppages.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/scriptwndform.h"

using platform::BrowserArray;
using platform::WebBrowser;

namespace {

// A recorder plug-in that keeps to the recorder's protocol and nothing more: it writes into the
// window's hidden field when that is there, and makes no field of its own.
const QString kRecorder = QStringLiteral(
    "window.__testRec = { on: false };\r\n"
    "function infectionEffect() { window.__testRec.on = true; }\r\n"
    "function infectionUnEffect() { window.__testRec.on = false; }\r\n"
    "document.addEventListener('click', function (e) {\r\n"
    "  var f = document.getElementById('tv_hidden');\r\n"
    "  if (window.__testRec.on && f) f.value += 'click:' + e.target.id + '\\r\\n';\r\n"
    "}, true);\r\n");

const QString kBoard = QStringLiteral(
    "<list style=\"night\"><item><id>b1</id><show>开始</show><click>go()</click>"
    "<style>tvButton</style></item></list>");

}  // namespace

// The recorder and the debugger with pages that open windows: pages that write into an empty
// new window, and new windows whose page comes slowly.
class LivePagesTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<TestProgramFolder> folder_;

    static bool waitFor(QSignalSpy& spy, int count = 1) {
        while (spy.size() < count)
            if (!spy.wait(15000)) return false;
        return true;
    }

    // Opens the window when needed and waits for its blank start page.
    static bool open(platform::Form& form, livePage::BrowserHost& host) {
        if (form.isLoaded()) return true;
        form.show();
        if (!host.array()) return false;
        QSignalSpy done(host.array(), &BrowserArray::DocumentComplete);
        return waitFor(done);
    }

    // Through the address row, as the user does; waits for that page's completion.
    bool go(platform::Form& form, livePage::BrowserHost& host, const QString& path) {
        QSignalSpy done(host.array(), &BrowserArray::DocumentComplete);
        form.control<QLineEdit>(QStringLiteral("urlText"))->setText(server_->url(path));
        form.control<QPushButton>(QStringLiteral("jumpCommand"))->click();
        for (int seen = 0;; ++seen) {
            if (!waitFor(done, seen + 1)) return false;
            if (done.at(seen).at(1).toString() == server_->url(path)) return true;
        }
    }

    static QVariant page(livePage::BrowserHost& host, const QString& expression) {
        WebBrowser* inUse = host.elementInUse();
        return inUse ? inUse->Document().evaluate(expression) : QVariant();
    }

    // The page in use writes into a window it opens; the window comes up in element 1 with
    // what was written, and the window goes on to the next address.
    void writtenPopUpShows(platform::Form& form, livePage::BrowserHost& host, qint16& index,
                           const QString& call) {
        QVERIFY(open(form, host));
        QVERIFY(go(form, host, "/writer.html"));
        const qint16 before = index;
        QVERIFY(host.elementInUse()->Document().execScript(call).ok);
        QTRY_VERIFY_WITH_TIMEOUT(index == before + 1 && host.elementInUse()->view(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(page(host, "document.getElementById('w').textContent"),
                                  QVariant(QStringLiteral("json")), 15000);
        QCOMPARE(host.elementInUse()->LocationURL(), QStringLiteral("about:blank"));
        // The address box keeps the opener's address.
        QCOMPARE(form.control<QLineEdit>(QStringLiteral("urlText"))->text(),
                 server_->url("/writer.html"));
        QVERIFY(go(form, host, "/plain.html"));
        QCOMPARE(host.elementInUse()->LocationURL(), server_->url("/plain.html"));
        QVERIFY(page(host, "!!document.getElementById('plain')").toBool());
        form.close();
        QVERIFY(!form.isLoaded());
    }

    void playIn(platform::Form& form, livePage::BrowserHost& host, qint16& index,
                const QString& popUpCase) {
        QVERIFY(open(form, host));
        popupCases::Window w;
        w.host = &host;
        w.index = &index;
        w.server = server_;
        w.go = [&](const QString& path) { return go(form, host, path); };
        popupCases::play(popUpCase, w);
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        servePopUpPages(server_);
        popupCases::servePages(server_);
        folder_ = std::make_unique<TestProgramFolder>(QStringLiteral("velmora"));
        QVERIFY(ScriptModule::writeTextFile(folder_->file("Stellock.dll"),
                                            BASE64Module::base64Encode(kRecorder)));
        QVERIFY(
            writeBytes(folder_->file("site.ini"),
                       "[site]\r\nforumHost=http://127.0.0.1:1\r\nmainHost=http://127.0.0.1:1\r\n"
                       "requestTimeoutMs=500\r\n"));
        MainWndForm::instance().setQuitOnClose(false);
        MainWndForm::instance().rndFlagStr = MainWndForm::instance().emailname(8);
        ScriptModule::clearScriptDocument();
        ScriptDocument& doc = ScriptModule::scriptDocument();
        doc.script = QStringLiteral("function go(){}\r\nwindow.dressed=1;\r\n");
        XmlDocument xml;
        QVERIFY(xml.loadXML(kBoard));
        doc.list = xml.documentElement();
        ScriptWndForm::instance().reLoadData();
    }

    void cleanupTestCase() {
        RecordWndForm::instance().close();
        DebugWndForm::instance().close();
        ScriptWndForm::instance().close();
        MainWndForm::instance().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        folder_.reset();
    }

    void recorderShowsWrittenPopUp_data() { POPUP_WRITE_ROWS(); }
    void recorderShowsWrittenPopUp() {
        QFETCH(QString, call);
        RecordWndForm& form = RecordWndForm::instance();
        writtenPopUpShows(form, form.host(), form.curBrowserIndex, call);
    }

    void debuggerShowsWrittenPopUp_data() { POPUP_WRITE_ROWS(); }
    void debuggerShowsWrittenPopUp() {
        QFETCH(QString, call);
        DebugWndForm& form = DebugWndForm::instance();
        writtenPopUpShows(form, form.host(), form.curBrowserIndex, call);
    }

    void recorderPopUpPatterns_data() { POPUP_CASE_ROWS(); }
    void recorderPopUpPatterns() {
        QFETCH(QString, popUpCase);
        RecordWndForm& form = RecordWndForm::instance();
        playIn(form, form.host(), form.curBrowserIndex, popUpCase);
    }

    void debuggerPopUpPatterns_data() { POPUP_CASE_ROWS(); }
    void debuggerPopUpPatterns() {
        QFETCH(QString, popUpCase);
        DebugWndForm& form = DebugWndForm::instance();
        playIn(form, form.host(), form.curBrowserIndex, popUpCase);
    }

    // The recorder's ticks ask the page while the new window still shows its first, empty
    // document; the field and the recorder must still reach the page that follows.
    void recorderReachesSlowPopUp() {
        RecordWndForm& form = RecordWndForm::instance();
        livePage::BrowserHost& host = form.host();
        QVERIFY(open(form, host));
        QVERIFY(go(form, host, "/plain.html"));
        form.control<QPushButton>(QStringLiteral("startCommand"))->click();
        const qint16 before = form.curBrowserIndex;
        QVERIFY(host.elementInUse()->Document().execScript("window.open('/slow.html');").ok);
        QTRY_COMPARE_WITH_TIMEOUT(form.curBrowserIndex, qint16(before + 1), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(host.elementInUse()->LocationURL(), server_->url("/slow.html"),
                                  15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            page(host, "!!document.getElementById('tv_hidden') && window.__testRec.on").toBool(),
            5000);
        QCOMPARE(page(host, "document.getElementById('tv_hidden').type"),
                 QVariant(QStringLiteral("hidden")));
        QVERIFY(
            host.elementInUse()->Document().execScript("document.getElementById('s').click();").ok);
        QTRY_COMPARE_WITH_TIMEOUT(form.logContents(), QStringLiteral("click:s\r\n\r\n"), 5000);
        form.control<QPushButton>(QStringLiteral("stopCommand"))->click();
        form.close();
    }

    // A line run while a new window's page is on its way must not keep that page from being
    // dressed.
    void debuggerDressesSlowPopUpAfterEarlyRun() {
        DebugWndForm& form = DebugWndForm::instance();
        livePage::BrowserHost& host = form.host();
        QVERIFY(open(form, host));
        QVERIFY(go(form, host, "/plain.html"));
        const qint16 before = form.curBrowserIndex;
        QVERIFY(host.elementInUse()->Document().execScript("window.open('/slow.html');").ok);
        QTRY_COMPARE_WITH_TIMEOUT(form.curBrowserIndex, qint16(before + 1), 15000);
        form.control<QPlainTextEdit>(QStringLiteral("lineText"))->setPlainText("window.early=1;");
        form.control<QPushButton>(QStringLiteral("executeLineCommand"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(host.elementInUse()->LocationURL(), server_->url("/slow.html"),
                                  15000);
        QTRY_VERIFY_WITH_TIMEOUT(page(host, "window.dressed === 1").toBool(), 5000);
        QVERIFY(page(host, "!!document.getElementById('b1') && !!document.getElementById('s')")
                    .toBool());
        // The skin's style sheet and the analysis panel came too.
        QVERIFY(page(host, "document.head.innerHTML.indexOf('#1e222b') >= 0").toBool());
        QVERIFY(page(host, "document.body.innerHTML.indexOf('velmoraPanel') >= 0").toBool());
        form.close();
    }

    // A page that is there but does not answer is not a missing page.
    void debuggerSaysWhenThePageDoesNotAnswer() {
        DebugWndForm& form = DebugWndForm::instance();
        livePage::BrowserHost& host = form.host();
        QVERIFY(open(form, host));
        QVERIFY(go(form, host, "/hang.html"));
        QTest::qWait(600);  // looping now
        form.control<QPlainTextEdit>(QStringLiteral("tipsText"))->clear();
        form.control<QComboBox>(QStringLiteral("languageCombo"))->setCurrentIndex(0);
        form.control<QPlainTextEdit>(QStringLiteral("lineText"))->setPlainText("window.x=1;");
        form.control<QPushButton>(QStringLiteral("executeLineCommand"))->click();
        QCOMPARE(form.historyContents(), QStringLiteral(">>window.x=1;\r\n->页面没有响应\r\n"));
        // And the user gets away from it at once.
        QVERIFY(go(form, host, "/plain.html"));
        QVERIFY(page(host, "!!document.getElementById('plain')").toBool());
        form.close();
    }
};

SUITE_TEST_MAIN(LivePagesTest)
#include "tst_livepages.moc"
