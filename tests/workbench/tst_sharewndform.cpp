#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "library/boxfile.h"
#include "library/scriptdocument.h"
#include "library/xmldocument.h"
#include "platform/core/ansi.h"
#include "platform/dialogs.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/makeboxform.h"
#include "workbench/sharewndform.h"

namespace {

const QByteArray kSharePath = "/Velmora/script/share.asp";
const QByteArray kSkin = "<skin>default</skin>\r\n";
const QByteArray kScriptFile = "QwErTy+/Ui==\r\n";

ShareWndForm& form() {
    return ShareWndForm::instance();
}

struct Reply {
    int status = 200;
    QByteArray body;
    int delayMs = 0;
    bool drop = false;
};

// The maker's site: share.asp answers what the test set.
struct Site {
    TestProgramFolder folder;
    TestServer server;
    Reply reply;
    Site() {
        writeBytes(folder.file("site.ini"), platform::toAnsi("[site]\r\nmainHost=" + server.base() +
                                                             "\r\nforumHost=" + server.base() +
                                                             "\r\nrequestTimeoutMs=1500\r\n"));
        server.route(kSharePath, [this](const TestServer::Request&) {
            TestServer::Response r;
            r.status = reply.status;
            r.contentType = "text/plain";
            r.body = reply.body;
            r.delayMs = reply.delayMs;
            r.drop = reply.drop;
            return r;
        });
        QDir(folder.path()).mkpath("css");
        QDir(folder.path()).mkpath("script/cat");
        writeBytes(folder.file("css/default.skin"), kSkin);
        writeBytes(folder.file("script/cat/s.txt"), kScriptFile);
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.currentScriptPath = folder.file("script/cat/s.txt");
        d.name = QStringLiteral("名字&a=b+c");
        d.information = QStringLiteral("介绍\r\n第二行 & x=1");
    }
    QByteArray body() const {
        const QList<TestServer::Request> requests = server.requests();
        return requests.isEmpty() ? QByteArray() : requests.last().body;
    }
};

QByteArray expectedBody(const QByteArray& open, const QByteArray& close) {
    return "filename=" + platform::toAnsi(QStringLiteral("名字&a=b+c")) +
           "&infor=" + platform::toAnsi(QStringLiteral("介绍\r\n第二行 & x=1")) +
           "&openFile=" + open + "&closeFile=" + close;
}

QByteArray boxText() {
    return BoxFile::boxLine(QString::fromLatin1(kSkin), QString::fromLatin1(kScriptFile))
               .toLatin1() +
           "\r\n";
}

}  // namespace

class ShareWndFormTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { MainWndForm::instance().setQuitOnClose(false); }
    void init() { platform::clearShownDialogs(); }
    void cleanup() {
        form().close();
        ScriptModule::scriptDocument() = ScriptDocument();
    }

    void postShareMapsTheReply_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("drop");
        QTest::addColumn<QString>("word");
        QTest::newRow("ok") << 200 << QByteArray("ok") << 0 << false << "ok";
        QTest::newRow("has") << 200 << QByteArray("has") << 0 << false << "has";
        QTest::newRow("ok and line end") << 200 << QByteArray("ok\r\n") << 0 << false << "error";
        QTest::newRow("upper case") << 200 << QByteArray("OK") << 0 << false << "error";
        QTest::newRow("space before") << 200 << QByteArray(" has") << 0 << false << "error";
        QTest::newRow("other word") << 200 << QByteArray("fail") << 0 << false << "error";
        QTest::newRow("empty") << 200 << QByteArray() << 0 << false << "error";
        QTest::newRow("ok beyond the first chunk")
            << 200 << QByteArray(1024, ' ') + "ok" << 0 << false << "error";
        QTest::newRow("error page saying ok") << 500 << QByteArray("ok") << 0 << false << "error";
        QTest::newRow("connection dropped") << 200 << QByteArray("ok") << 0 << true << "error";
        QTest::newRow("slower than the limit")
            << 200 << QByteArray("ok") << 4000 << false << "error";
    }
    void postShareMapsTheReply() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, delayMs);
        QFETCH(bool, drop);
        QFETCH(QString, word);
        Site site;
        site.reply = {status, body, delayMs, drop};
        QCOMPARE(form().postShare("n&=", "i\r\n+", "open+/=\r\n", "close"), word);

        const QList<TestServer::Request> requests = site.server.requests();
        // On a dropped connection the network layer sends the request once more.
        QCOMPARE(requests.size(), drop ? 2 : 1);
        QCOMPARE(requests[0].method, QByteArray("POST"));
        QCOMPARE(requests[0].path, kSharePath);
        QCOMPARE(requests[0].headers.value("content-type"),
                 QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(requests[0].body,
                 QByteArray("filename=n&=&infor=i\r\n+&openFile=open+/=\r\n&closeFile=close"));
    }

    void shareSendsWhatTheOptionSays_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("hidden");
        const QString ok = QStringLiteral("上传成功,谢谢您的分享~!");
        const QString has = QStringLiteral("此文件已存在请重新选择~!");
        const QString failed = QStringLiteral("上传失败,请检查网络~!\n网站的回答无法识别");
        const QByteArray both = expectedBody(kScriptFile, boxText());
        const QByteArray source = expectedBody(kScriptFile, "");
        const QByteArray box = expectedBody("", boxText());
        QTest::newRow("both, ok") << 0 << QByteArray("ok") << both << ok << true;
        QTest::newRow("both, has") << 0 << QByteArray("has") << both << has << true;
        QTest::newRow("both, other") << 0 << QByteArray("no") << both << failed << false;
        QTest::newRow("source, ok") << 1 << QByteArray("ok") << source << ok << true;
        QTest::newRow("source, other") << 1 << QByteArray("ok\n") << source << failed << false;
        QTest::newRow("box, has") << 2 << QByteArray("has") << box << has << true;
        QTest::newRow("box, other") << 2 << QByteArray("") << box << failed << false;
    }
    void shareSendsWhatTheOptionSays() {
        QFETCH(int, option);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QFETCH(bool, hidden);
        Site site;
        site.reply.body = reply;
        // A box left from an earlier run is never what goes out.
        writeBytes(site.folder.file("upload.tmp"), "stale box\r\n");
        form().show();
        QCOMPARE(form().widget()->windowTitle(), QStringLiteral("分享脚本"));
        QVERIFY(form().control<QRadioButton>("shareOption_0")->isChecked());
        form().control<QRadioButton>(QString("shareOption_%1").arg(option))->setChecked(true);
        form().control<QPushButton>("shareCommand")->click();

        QCOMPARE(site.body(), body);
        const QList<platform::ShownDialog> shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, message);
        QCOMPARE(shown[0].title, QStringLiteral("提示"));
        QCOMPARE(form().widget()->isVisible(), !hidden);
        QVERIFY(form().control<QPushButton>("shareCommand")->isEnabled());
        // The temporary box is gone in every outcome; with the source alone it is not touched.
        QCOMPARE(QFile::exists(site.folder.file("upload.tmp")), option == 1);
    }

    // Closing the script window clears the document but keeps its file to share: the name
    // and description sent are those of the file that is shared.
    void nameAndDescriptionComeFromTheSharedFile() {
        Site site;
        site.reply.body = "ok";
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = QStringLiteral("文件里的名字");
        d.information = QStringLiteral("文件里的介绍");
        XmlDocument board;
        board.loadXML("<list/>");
        d.list = board.documentElement();
        QVERIFY(ScriptModule::saveScriptFile(d.currentScriptPath));
        ScriptModule::clearScriptDocument();
        form().show();
        form().control<QRadioButton>("shareOption_1")->setChecked(true);
        form().control<QPushButton>("shareCommand")->click();
        const QByteArray body = site.body();
        QVERIFY2(body.startsWith("filename=" + platform::toAnsi(QStringLiteral("文件里的名字")) +
                                 "&infor=" + platform::toAnsi(QStringLiteral("文件里的介绍")) +
                                 "&openFile="),
                 body.left(80).constData());
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("上传成功,谢谢您的分享~!"));
    }

    void hidingKeepsTheOptionClosingResetsIt() {
        Site site;
        form().show();
        form().control<QRadioButton>("shareOption_2")->setChecked(true);
        form().control<QPushButton>("exitCommand")->click();
        QVERIFY(!form().widget()->isVisible());
        form().show();
        QVERIFY(form().control<QRadioButton>("shareOption_2")->isChecked());
        form().close();
        form().show();
        QVERIFY(form().control<QRadioButton>("shareOption_0")->isChecked());
    }

    // Esc is 取 消 and sends nothing; Enter is 上 传.
    void escapeCancelsEnterUploads() {
        Site site;
        site.reply.body = "ok";
        form().show();
        auto* option = form().control<QRadioButton>("shareOption_1");
        QTest::keyClick(option, Qt::Key_Escape);
        QVERIFY(!form().widget()->isVisible());
        QVERIFY(site.server.requests().isEmpty());
        form().show();
        option->click();
        QTest::keyClick(option, Qt::Key_Return);
        QCOMPARE(site.body(), expectedBody(kScriptFile, ""));
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("上传成功,谢谢您的分享~!"));
    }

    void missingFilesSendEmptyParts() {
        Site site;
        site.reply.body = "ok";
        QFile::remove(site.folder.file("css/default.skin"));
        QFile::remove(site.folder.file("script/cat/s.txt"));
        form().show();
        form().control<QPushButton>("shareCommand")->click();
        const QByteArray emptyBox = BoxFile::boxLine("", "").toLatin1() + "\r\n";
        QCOMPARE(site.body(), expectedBody("", emptyBox));
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("上传成功,谢谢您的分享~!"));
        QVERIFY(!QFile::exists(site.folder.file("upload.tmp")));
    }

    void unwritableBoxSendsNoBox() {
        Site site;
        site.reply.body = "ok";
        // A folder in the way of the temporary box: nothing can be written there.
        QDir(site.folder.path()).mkpath("upload.tmp/inside");
        form().show();
        form().control<QRadioButton>("shareOption_2")->setChecked(true);
        form().control<QPushButton>("shareCommand")->click();
        QCOMPARE(site.body(), expectedBody("", ""));
        QVERIFY(QDir(site.folder.file("upload.tmp/inside")).exists());
    }

    void oneUploadAtATime() {
        Site site;
        site.reply = {200, "ok", 250, false};
        form().show();
        bool enabledDuringWait = true;
        QTimer::singleShot(80, &site.server, [&] {
            QPushButton* share = form().control<QPushButton>("shareCommand");
            enabledDuringWait = share->isEnabled();
            share->click();
        });
        form().control<QPushButton>("shareCommand")->click();
        QVERIFY(!enabledDuringWait);
        QCOMPARE(site.server.requests().size(), 1);
        QCOMPARE(platform::shownDialogs().size(), 1);
    }

    void closingDuringTheUploadIsSafe() {
        Site site;
        site.reply = {200, "has", 250, false};
        form().show();
        QPointer<QPushButton> share = form().control<QPushButton>("shareCommand");
        bool goneDuringWait = false;
        QTimer::singleShot(80, &site.server, [&] {
            form().close();
            QTimer::singleShot(50, &site.server, [&] { goneDuringWait = share.isNull(); });
        });
        share->click();
        QVERIFY(goneDuringWait);  // the controls went while the request was out
        QVERIFY(!form().isLoaded());
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("此文件已存在请重新选择~!"));
        QVERIFY(!QFile::exists(site.folder.file("upload.tmp")));
        form().show();
        QVERIFY(form().control<QPushButton>("shareCommand")->isEnabled());
    }

    // Without a network, without an answer, with an error page or a word the share page
    // never says, the upload fails alike; the second line of the message tells which.
    void failureSaysWhy_data() {
        QTest::addColumn<QString>("host");  // empty for the test server
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("why");
        const QString noConnection = QStringLiteral("无法连接到网站(没有网络,或网站不存在)");
        QTest::newRow("no site") << "http://no-such-host.invalid" << 200 << QByteArray("ok") << 0
                                 << noConnection;
        QTest::newRow("dead port")
            << "http://127.0.0.1:1" << 200 << QByteArray("ok") << 0 << noConnection;
        QTest::newRow("never answers") << "" << 200 << QByteArray("ok") << 5000
                                       << QStringLiteral("网站没有回应(等待超时或连接被中断)");
        QTest::newRow("error page")
            << "" << 503 << QByteArray("ok") << 0 << QStringLiteral("网站出错(HTTP 503)");
        QTest::newRow("unknown word")
            << "" << 200 << QByteArray("busy") << 0 << QStringLiteral("网站的回答无法识别");
    }
    void failureSaysWhy() {
        QFETCH(QString, host);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, delayMs);
        QFETCH(QString, why);
        Site site;
        site.reply = {status, body, delayMs, false};
        if (!host.isEmpty())
            writeBytes(
                site.folder.file("site.ini"),
                platform::toAnsi("[site]\r\nmainHost=" + host + "\r\nrequestTimeoutMs=1500\r\n"));
        form().show();
        QTest::mouseClick(form().control<QPushButton>("shareCommand"), Qt::LeftButton);
        const QList<platform::ShownDialog> shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("上传失败,请检查网络~!\n") + why);
        QVERIFY(form().widget()->isVisible());
        QVERIFY(!QFile::exists(site.folder.file("upload.tmp")));
    }

    // Closed and opened again while the upload waits, the window offers no second upload
    // until the first is over.
    void reopenedDuringTheUploadWaitsForIt() {
        Site site;
        site.reply = {200, "ok", 400, false};
        form().show();
        bool enabledInReopened = true;
        QTimer::singleShot(80, &site.server, [&] {
            form().close();
            form().show();
            QPushButton* again = form().control<QPushButton>("shareCommand");
            enabledInReopened = again->isEnabled();
            QTest::mouseClick(again, Qt::LeftButton);
        });
        QTest::mouseClick(form().control<QPushButton>("shareCommand"), Qt::LeftButton);
        QVERIFY(!enabledInReopened);
        QCOMPARE(site.server.requests().size(), 1);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QVERIFY(form().isLoaded());
        QVERIFY(form().control<QPushButton>("shareCommand")->isEnabled());
    }

    void mainWindowShareButtonOpensTheWindow() {
        Site site;
        MainWndForm::ToolWindows saved = MainWndForm::instance().windows;
        wireBoxAndShareWindows();
        MainWndForm::instance().windows.showShareWindow();
        QVERIFY(form().widget() && form().widget()->isVisible());
        MainWndForm::instance().windows = saved;
    }
};

SUITE_TEST_MAIN(ShareWndFormTest)
#include "tst_sharewndform.moc"
