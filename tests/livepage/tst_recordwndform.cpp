#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

#include "library/base64.h"
#include "livepage/recordwndform.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::BrowserArray;
using platform::WebBrowser;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

const QByteArray kFormPage =
    "<html><body><input id=\"kw\" type=\"text\"><input name=\"q\" type=\"text\">"
    "<button id=\"go\" type=\"button\">go</button>"
    "<a id=\"next\" href=\"/next.html\">next</a></body></html>";
const QByteArray kNextPage =
    "<html><body><button id=\"again\" type=\"button\">again</button></body></html>";

}  // namespace

class RecordWndFormTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<TestProgramFolder> folder_;
    RecordWndForm& form_ = RecordWndForm::instance();

    BrowserArray* array() const { return form_.host().array(); }
    WebBrowser* inUse() const { return form_.host().elementInUse(); }
    template <typename T>
    T* control(const char* name) const {
        return form_.control<T>(QString::fromLatin1(name));
    }

    static bool waitFor(QSignalSpy& spy, int count = 1) {
        while (spy.size() < count)
            if (!spy.wait(15000)) return false;
        return true;
    }

    // Shows the window and waits for the load step's blank page.
    bool open() {
        if (form_.isLoaded()) return true;
        form_.show();
        if (!array()) return false;
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        return waitFor(done);
    }

    void closeWindow() {
        form_.close();
        QVERIFY(!form_.isLoaded());
    }

    // Navigates through the address row and waits for the page.
    bool go(const QString& path) {
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        control<QLineEdit>("urlText")->setText(server_->url(path));
        control<QPushButton>("jumpCommand")->click();
        return waitFor(done);
    }

    QVariant page(const QString& expression) const {
        return inUse()->Document().evaluate(expression);
    }
    // What the user does, played by the page in one go (so within one tick): typing into a box
    // ends with a change event.
    static QString typing(const QString& ref, const QString& text) {
        return QStringLiteral(
                   "(function(e){e.value='%2';e.dispatchEvent(new Event('change',{bubbles:true}));"
                   "})(%1);")
            .arg(ref, text);
    }
    static QString clicking(const QString& id) {
        return QStringLiteral("document.getElementById('%1').click();").arg(id);
    }
    void act(const QString& code) const { QVERIFY(inUse()->Document().execScript(code).ok); }
    void click(const QString& id) const { act(clicking(id)); }

    // The recorder is in the page in use and capturing (the top-level completion has run).
    bool armed() const {
        return QTest::qWaitFor(
            [&] {
                return inUse() &&
                       page("!!(window.__tvRecorder && window.__tvRecorder.on)").toBool();
            },
            5000);
    }

    bool logShows(const QString& text) const {
        return QTest::qWaitFor([&] { return form_.logContents() == text; }, 5000);
    }

  private Q_SLOTS:
    // Each case starts with recording off and an empty log.
    void init() {
        if (!form_.isLoaded()) return;
        if (auto* stop = control<QPushButton>("stopCommand")) stop->click();
        if (auto* clear = control<QPushButton>("clearCommand")) clear->click();
    }

    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/form.html", kFormPage);
        server_->page("/next.html", kNextPage);
        // No plug-in file yet: the first opening finds none.
        folder_ = std::make_unique<TestProgramFolder>();
    }

    void cleanupTestCase() {
        form_.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        folder_.reset();
    }

    void missingPluginIsReadAgainNextTime() {
        QVERIFY(open());
        QCOMPARE(form_.widget()->windowTitle(), QStringLiteral("录制脚本"));
        QVERIFY(form_.recorderScript.isEmpty());
        QVERIFY(go("/form.html"));
        // The field and an empty script element went in all the same.
        QCOMPARE(page("document.getElementsByTagName('script').length").toInt(), 1);
        QCOMPARE(page("document.getElementById('tv_hidden').type").toString(),
                 QStringLiteral("hidden"));
        // Starting without a recorder in the page fails without a message.
        control<QPushButton>("startCommand")->click();
        QVERIFY(form_.isRecording);
        QVERIFY(platform::shownDialogs().isEmpty());
        closeWindow();

        QVERIFY(writeBytes(folder_->file("Stellock.dll"),
                           readBytes(sourceDataFolder("velmora") + "/Stellock.dll")));
        QVERIFY(open());
        QVERIFY(!form_.isRecording);
        QVERIFY(form_.recorderScript.contains("function infectionEffect()"));
        QVERIFY(form_.recorderScript.contains("function infectionUnEffect()"));
        // Decoded whole and uncut: no stray byte from the line end after the data.
        QVERIFY(form_.recorderScript.trimmed().endsWith('}'));
    }

    void recordsTypingAndClicks() {
        QVERIFY(open());
        QVERIFY(go("/form.html"));
        QCOMPARE(control<QLineEdit>("urlText")->text(), server_->url("/form.html"));
        // Recording off: actions leave nothing.
        click("go");
        QTest::qWait(120);
        QCOMPARE(form_.logContents(), QString());

        control<QPushButton>("startCommand")->click();
        QVERIFY(form_.isRecording);
        act(typing("document.getElementById('kw')", "abc") +
            typing("document.getElementsByName('q')[0]", "say \"hi\"") + clicking("go"));
        const QString lines = QStringLiteral(
                                  "document.getElementById(\"kw\").value=\"abc\";\r\n"
                                  "document.getElementsByName(\"q\")[0].value=\"say \\\"hi\\\"\";"
                                  "\r\n"
                                  "document.getElementById(\"go\").click();\r\n") +
                              kCrLf;
        QVERIFY2(logShows(lines), qPrintable(form_.logContents()));
        QCOMPARE(page("document.getElementById('tv_hidden').value").toString(), QString());

        control<QPushButton>("stopCommand")->click();
        QVERIFY(!form_.isRecording);
        click("go");
        QTest::qWait(120);
        QCOMPARE(form_.logContents(), lines);

        control<QPushButton>("clearCommand")->click();
        QCOMPARE(form_.logContents(), QString());
        control<QPushButton>("startCommand")->click();
        click("go");
        QVERIFY(logShows(QStringLiteral("document.getElementById(\"go\").click();\r\n\r\n")));
        control<QPushButton>("stopCommand")->click();
        control<QPushButton>("clearCommand")->click();
    }

    void recordingGoesOnInTheNextPage() {
        QVERIFY(open());
        QVERIFY(go("/form.html"));
        control<QPushButton>("startCommand")->click();
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        click("next");
        QVERIFY(waitFor(done));
        QVERIFY(armed());
        QCOMPARE(inUse()->LocationURL(), server_->url("/next.html"));
        QCOMPARE(page("document.querySelectorAll('#tv_hidden').length").toInt(), 1);
        click("again");
        // The link's line, written as its page went, comes with the next page.
        const QString next = QStringLiteral("document.getElementById(\"next\").click();\r\n");
        const QString again = QStringLiteral("document.getElementById(\"again\").click();\r\n");
        QVERIFY(QTest::qWaitFor([&] { return form_.logContents().contains(again); }, 5000));
        const QString log = form_.logContents();
        QVERIFY2(log.startsWith(next) && log.indexOf(again) > 0, qPrintable(log));
        control<QPushButton>("stopCommand")->click();
        control<QPushButton>("clearCommand")->click();
    }

    void popUpKeepsRecordingAndReopeningStartsOver() {
        QVERIFY(open());
        QVERIFY(go("/form.html"));
        control<QPushButton>("startCommand")->click();
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        QVERIFY(inUse()->Document().execScript("window.open('/next.html');").ok);
        QVERIFY(waitFor(done));
        QCOMPARE(form_.curBrowserIndex, qint16(1));
        QVERIFY(armed());
        QCOMPARE(inUse()->LocationURL(), server_->url("/next.html"));
        click("again");
        QVERIFY(logShows(QStringLiteral("document.getElementById(\"again\").click();\r\n\r\n")));
        // Closed and opened again: element 0 alone, recording off, the plug-in not read again.
        closeWindow();
        QVERIFY(QFile::remove(folder_->file("Stellock.dll")));
        QCOMPARE(form_.curBrowserIndex, qint16(1));
        QVERIFY(open());
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QVERIFY(!form_.isRecording);
        QCOMPARE(form_.newWindowMode, qint16(0));
        QCOMPARE(array()->indexes(), QList<int>({0}));
        QCOMPARE(inUse()->LocationURL(), QStringLiteral("about:blank"));
        QVERIFY(!form_.recorderScript.isEmpty());
        QCOMPARE(form_.logContents(), QString());
    }

    // The load's second try looks for the plug-in in the program folder too, never in the
    // current directory.
    void secondTryReadsTheProgramFolder() {
        QVERIFY(open());
        QVERIFY(go("/form.html"));
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        QVERIFY(inUse()->Document().execScript("window.open('/next.html');").ok);
        QVERIFY(waitFor(done));
        QCOMPARE(form_.curBrowserIndex, qint16(1));
        closeWindow();
        QFile::remove(folder_->file("Stellock.dll"));
        form_.recorderScript.clear();
        QTemporaryDir elsewhere;
        QVERIFY(writeBytes(elsewhere.filePath("Stellock.dll"),
                           readBytes(sourceDataFolder("velmora") + "/Stellock.dll")));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        const bool opened = open();
        QDir::setCurrent(before);
        QVERIFY(opened);
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QVERIFY(form_.recorderScript.isEmpty());

        // Back in the program folder, it is read at the next opening.
        QVERIFY(writeBytes(folder_->file("Stellock.dll"),
                           readBytes(sourceDataFolder("velmora") + "/Stellock.dll")));
        closeWindow();
        QVERIFY(open());
        QVERIFY(!form_.recorderScript.isEmpty());
    }

    void blockedPopUpIsRefused() {
        QVERIFY(open());
        QVERIFY(go("/form.html"));
        auto* combo = control<QComboBox>("newWndCombo");
        combo->setCurrentIndex(1);
        Q_EMIT combo->activated(1);
        QCOMPARE(form_.newWindowMode, qint16(-1));
        QSignalSpy asked(array(), &BrowserArray::NewWindow2);
        QVERIFY(inUse()->Document().execScript("window.open('/next.html');").ok);
        QVERIFY(waitFor(asked));
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QCOMPARE(inUse()->LocationURL(), server_->url("/form.html"));
        form_.host().selectNewWindowItem(0);
    }

    void logTyping() {
        QVERIFY(open());
        // What the user types into the log box is tidied like received lines.
        control<QPlainTextEdit>("logText")->setPlainText("\n\na\na\nb");
        QVERIFY2(logShows(QStringLiteral("a\r\nb\r\n\r\n")), qPrintable(form_.logContents()));
        control<QPushButton>("clearCommand")->click();
    }

    void collapse_data() {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("next");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("equal lines") << "a\r\na\r\nb"
                                     << "a\r\nb\r\n";
        QTest::newRow("no line end") << "a"
                                     << "a\r\n";
        QTest::newRow("one line end") << "a\r\n"
                                      << "a\r\n\r\n";
        QTest::newRow("steady") << "a\r\n\r\n"
                                << "a\r\n\r\n";
        QTest::newRow("leading empty lines") << "\r\n\r\nx\r\n"
                                             << "x\r\n\r\n";
        QTest::newRow("two ticks") << "s\r\n\r\ns\r\n"
                                   << "s\r\n\r\ns\r\n\r\n";
        QTest::newRow("lone LF stays in its line") << "a\nb\r\n"
                                                   << "a\nb\r\n\r\n";
    }
    void collapse() {
        QFETCH(QString, log);
        QFETCH(QString, next);
        QCOMPARE(recordLog::collapse(log), next);
    }

    void layoutFollowsWindowSize() {
        QVERIFY(open());
        QWidget* w = form_.widget();
        w->resize(400, 300);  // below the minimum
        QTRY_VERIFY(w->frameGeometry().width() >= platform::px(RecordWndForm::kMinWidthTwips));
        QVERIFY(w->frameGeometry().height() >= platform::px(RecordWndForm::kMinHeightTwips));
        w->resize(1100, 700);
        QTRY_COMPARE(w->width(), 1100);
        const int W = platform::twips(w->frameGeometry().width());
        const int H = platform::twips(w->frameGeometry().height());
        auto* jump = control<QPushButton>("jumpCommand");
        auto* frame = control<QWidget>("logFrame");
        // Positions in twips land on whole pixels.
        QCOMPARE(jump->x(), platform::px(W - platform::twips(jump->width()) - 200));
        QCOMPARE(frame->x(), platform::px(W - platform::twips(frame->width()) - 200));
        QCOMPARE(inUse()->x(), platform::px(100));
        QCOMPARE(inUse()->Width(),
                 platform::twips(platform::px(platform::twips(frame->x()) - 200)));
        QVERIFY(inUse()->Top() + inUse()->Height() <= H - 600);
    }
};

SUITE_TEST_MAIN(RecordWndFormTest)
#include "tst_recordwndform.moc"
