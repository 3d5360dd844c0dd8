#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "library/plugins.h"
#include "platform/core/ansi.h"
#include "platform/core/clock.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "platform/shell.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/scriptpicture.h"
#include "workbench/site.h"
#include "workbench/sitetext.h"
#include "workbench/updatewndform.h"

namespace {

// The smallest GIF there is: one transparent pixel.
const QByteArray kGif1x1(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01"
    "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
    "D\x01\x00;",
    43);

QByteArray pngBytes(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void writeSite(const TestProgramFolder& folder, const QString& forum, const QString& main,
               const QString& extra = QString()) {
    writeBytes(folder.file("site.ini"), platform::toAnsi("[site]\r\nforumHost=" + forum +
                                                         "\r\nmainHost=" + main + "\r\n" + extra));
}

}  // namespace

class SiteTextTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        platform::setClockForTest(QDateTime(QDate(2026, 12, 10), QTime(8, 3, 56)));
        ScriptModule::resetPluginCollectionForTest();
        MainWndForm::instance().setQuitOnClose(false);
    }
    void cleanup() {
        UpdateWndForm::instance().close();
        platform::setClockForTest(QDateTime());
    }

    void siteAddressesComeFromSiteIni() {
        TestProgramFolder folder;
        // Without a file: the defaults, and no file is made by asking.
        QCOMPARE(Site::forumHost(), Site::defaultForumHost());
        QCOMPARE(Site::mainHost(), Site::defaultMainHost());
        QVERIFY(Site::forumHost() != Site::mainHost());
        QCOMPARE(Site::requestTimeoutMs(), platform::kDefaultRequestTimeoutMs);
        QVERIFY(!QFile::exists(folder.file("site.ini")));

        writeSite(folder, "http://forum.test:81/", "http://main.test//", "requestTimeoutMs=20\r\n");
        QCOMPARE(Site::pluginListAddress(),
                 QString("http://forum.test:81/plugin.txt?d=2026/12/10"));
        QCOMPARE(Site::versionFileAddress(),
                 QString("http://main.test/Velmora/download/TolvarVersion.txt?d=2026/12/10"));
        QCOMPARE(Site::forumPageAddress(), QString("http://forum.test:81/bbs/2026/12/10 8:03:56"));
        QCOMPARE(Site::statisticsPageAddress(),
                 QString("http://main.test/total.htm?t=2026/12/10 8:03:56"));
        QCOMPARE(Site::shareAddress(), QString("http://main.test/Velmora/script/share.asp"));
        QCOMPARE(Site::searchAddress(), QString("http://main.test/Velmora/script/search.asp"));
        QCOMPARE(Site::downloadAddress("open", "12"),
                 QString("http://main.test/Velmora/script/download.asp?kind=open&id=12"));
        QCOMPARE(Site::requestTimeoutMs(), 100);  // kept to a sane floor

        // An empty value falls back to the default; the shipped file names the defaults.
        writeSite(folder, "", "http://m");
        QCOMPARE(Site::forumHost(), Site::defaultForumHost());
        TestProgramFolder shipped("velmora");
        QCOMPARE(Site::forumHost(), Site::defaultForumHost());
        QCOMPARE(Site::mainHost(), Site::defaultMainHost());
    }

    void bytesToText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("text");
        QTest::newRow("gb2312") << QByteArray("\xd6\xd0\xce\xc4=a") << "GB2312" << true
                                << QString("中文=a");
        // Characters beyond GB2312 proper still come through, as on the desktop platform.
        QTest::newRow("gbk beyond gb2312")
            << QByteArray("\x81\x40") << "gb2312" << true << QString::fromUtf16(u"\u4E02");
        QTest::newRow("utf-8") << QByteArray("\xe4\xb8\xad") << "UTF-8" << true << QString("中");
        QTest::newRow("unknown charset")
            << QByteArray("abc") << "no-such-set" << false << QString();
        QTest::newRow("empty") << QByteArray() << "GB2312" << true << QString();
    }
    void bytesToText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, charset);
        QFETCH(bool, ok);
        QFETCH(QString, text);
        const auto result = SiteText::bytesToText(bytes, charset);
        QCOMPARE(result.has_value(), ok);
        if (ok) QCOMPARE(*result, text);
    }

    void getHttpText() {
        TestServer server;
        server.page("/t.txt", QByteArray("\xd6\xd0\r\nx"), "text/plain");
        QCOMPARE(SiteText::getHttpText(server.url("/t.txt"), "GB2312"), QString("中\r\nx"));
        // An error page is a reply like any other.
        QCOMPARE(SiteText::getHttpText(server.url("/missing"), "GB2312"),
                 QString("<html><body>not found</body></html>"));
        QCOMPARE(SiteText::getHttpText(server.url("/t.txt"), "bogus-charset"), QString());
        QCOMPARE(SiteText::getHttpText("http://127.0.0.1:9/x", "GB2312"), QString());
        QCOMPARE(SiteText::getHttpText("no address", "GB2312"), QString());
    }

    void requestBudgetBoundsAllRequests() {
        TestProgramFolder folder;
        TestServer server;
        server.route("/slow", [](const TestServer::Request&) {
            TestServer::Response r;
            r.body = "late";
            r.delayMs = 4000;
            return r;
        });
        QElapsedTimer t;
        t.start();
        {
            SiteText::RequestBudget budget(400);
            QCOMPARE(SiteText::getHttpText(server.url("/slow"), "GB2312"), QString());
            QCOMPARE(SiteText::getHttpText(server.url("/slow"), "GB2312"), QString());
            QCOMPARE(budget.remainingMs(), 0);
        }
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        // Without a budget the site's own limit applies.
        server.page("/fast", "ok", "text/plain");
        QCOMPARE(SiteText::getHttpText(server.url("/fast"), "GB2312"), QString("ok"));
    }

    void loadPluginList_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two lines and a final line end")
            << QByteArray("a=http://x/a.js\r\nb=http://x/b.js\r\n")
            << QStringList{"a=http://x/a.js", "b=http://x/b.js", ""};
        QTest::newRow("empty lines kept")
            << QByteArray("a=1\r\n\r\nb=2") << QStringList{"a=1", "", "b=2"};
        QTest::newRow("lone CR and LF do not split")
            << QByteArray("a=1\nb=2\rc=3") << QStringList{"a=1\nb=2\rc=3"};
        QTest::newRow("empty reply") << QByteArray() << QStringList{};
        QTest::newRow("gb2312 names") << QByteArray("\xd6\xd0=u") << QStringList{"中=u"};
        // The charset is fixed: UTF-8 bytes are read as GB2312 all the same.
        QTest::newRow("utf-8 read as gb2312")
            << QByteArray("\xe4\xb8\xad\xe6\x96\x87=u")
            << QStringList{platform::fromAnsi("\xe4\xb8\xad\xe6\x96\x87=u")};
    }
    void loadPluginList() {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, expected);
        TestProgramFolder folder;
        TestServer forum, main;
        forum.page("/plugin.txt", reply, "text/plain");
        writeSite(folder, forum.base(), main.base());
        SiteText::loadPluginList();
        QVERIFY(ScriptModule::pluginCollectionExists());
        QCOMPARE(ScriptModule::pluginCollection(), expected);
        QCOMPARE(forum.requests().size(), 1);
        QCOMPARE(forum.requests().first().query, QByteArray("d=2026/12/10"));
        QVERIFY(main.requests().isEmpty());
    }

    void loadPluginListWithoutSite() {
        TestProgramFolder folder;
        writeSite(folder, "http://127.0.0.1:9", "http://127.0.0.1:9");
        SiteText::loadPluginList();
        QVERIFY(ScriptModule::pluginCollectionExists());
        QVERIFY(ScriptModule::pluginCollection().isEmpty());
    }

    void checkNewVersion_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("published");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("downloadEnabled");
        QTest::newRow("same version") << QByteArray("3.0\r\nhttp://d/x.zip\r\n") << true << "3.0"
                                      << "http://d/x.zip" << false;
        QTest::newRow("newer") << QByteArray("3.1\r\nhttp://d/y.zip") << true << "3.1"
                               << "http://d/y.zip" << true;
        QTest::newRow("letter case differs") << QByteArray("V3.0\r\nu") << true << "V3.0"
                                             << "u" << true;
        QTest::newRow("three lines") << QByteArray("4.0\r\nhttp://d/z\r\nmore\r\n") << true << "4.0"
                                     << "http://d/z" << true;
        QTest::newRow("one line") << QByteArray("3.1") << false << ""
                                  << "" << false;
        QTest::newRow("empty") << QByteArray() << false << ""
                               << "" << false;
        QTest::newRow("lone LF only") << QByteArray("3.1\nhttp://d") << false << ""
                                      << "" << false;
    }
    void checkNewVersion() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, shown);
        QFETCH(QString, published);
        QFETCH(QString, url);
        QFETCH(bool, downloadEnabled);
        TestProgramFolder folder;
        TestServer forum, main;
        main.page("/Velmora/download/TolvarVersion.txt", reply, "text/plain");
        writeSite(folder, forum.base(), main.base());
        const QString installed =
            QByteArray(QTest::currentDataTag()) == "letter case differs" ? "v3.0" : "3.0";
        MainWndForm::instance().version = installed;
        QCOMPARE(SiteText::checkNewVersion(), shown);
        QCOMPARE(main.requests().size(), 1);
        QCOMPARE(main.requests().first().query, QByteArray("d=2026/12/10"));
        UpdateWndForm& dialog = UpdateWndForm::instance();
        QCOMPARE(dialog.isLoaded(), shown);
        if (!shown) return;
        QVERIFY(dialog.widget()->isVisible());
        QCOMPARE(dialog.widget()->windowTitle(), QString("软件升级"));
        QCOMPARE(dialog.control<QLabel>("Label1")->text(), QString("当前版本:"));
        QCOMPARE(dialog.control<QLabel>("Label2")->text(), QString("最新版本:"));
        QCOMPARE(dialog.control<QLabel>("Label3")->text(), installed);
        QCOMPARE(dialog.control<QLabel>("Label4")->text(), published);
        QCOMPARE(dialog.downloadUrl, url);
        auto* download = dialog.control<QPushButton>("downloadCommand");
        QCOMPARE(download->text(), QString("下 载 最 新"));
        QCOMPARE(download->isEnabled(), downloadEnabled);
    }

    void updateWindowTimerAndDownload() {
        UpdateWndForm& dialog = UpdateWndForm::instance();
        MainWndForm::instance().version = "3.0";
        dialog.setData("3.2", "http://d/new.zip");
        QVERIFY(dialog.widget()->isVisible());
        QCOMPARE(dialog.widget()->minimumSize(), dialog.widget()->maximumSize());
        auto* timer = dialog.control<QTimer>("Timer1");
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 1000);

        // Hidden, it comes back by itself.
        dialog.hide();
        QVERIFY(!dialog.widget()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.widget()->isVisible(), 2500);

        // The download button hands the address to the system's browser and leaves the
        // dialog open.
        platform::clearOpenedAddresses();
        QTest::mouseClick(dialog.control<QPushButton>("downloadCommand"), Qt::LeftButton);
        QCOMPARE(platform::openedAddresses(), QStringList{"http://d/new.zip"});
        QVERIFY(dialog.isLoaded());

        // Closing unloads it and stops the timer; the next setData loads it afresh.
        QPointer<QTimer> oldTimer(timer);
        dialog.close();
        QVERIFY(!dialog.isLoaded());
        QTest::qWait(50);
        QVERIFY(!oldTimer || !oldTimer->isActive());
        dialog.setData("3.0", "u");
        QVERIFY(dialog.isLoaded());
        QVERIFY(!dialog.control<QPushButton>("downloadCommand")->isEnabled());
    }

    void downloadOpensOnlyWebAddresses_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("opens");  // empty: refused with a message
        QTest::newRow("http") << "http://d/new.zip"
                              << "http://d/new.zip";
        QTest::newRow("https, capitals") << "HTTPS://d.example/v2/new.zip"
                                         << "HTTPS://d.example/v2/new.zip";
        // What is checked is what is opened.
        QTest::newRow("blanks around") << " \thttp://d/new.zip \r"
                                       << "http://d/new.zip";
        QTest::newRow("file") << "file:///etc/passwd" << QString();
        QTest::newRow("local path") << "/usr/bin/xterm" << QString();
        QTest::newRow("script") << "javascript:alert(1)" << QString();
        QTest::newRow("script, capitals") << "JavaScript:alert(1)" << QString();
        QTest::newRow("other scheme") << "ftp://d/new.zip" << QString();
        QTest::newRow("no host") << "http:///new.zip" << QString();
        QTest::newRow("empty") << "" << QString();
    }
    void downloadOpensOnlyWebAddresses() {
        QFETCH(QString, url);
        QFETCH(QString, opens);
        UpdateWndForm& dialog = UpdateWndForm::instance();
        MainWndForm::instance().version = "3.0";
        dialog.setData("3.2", url);
        platform::clearOpenedAddresses();
        platform::clearShownDialogs();
        QTest::mouseClick(dialog.control<QPushButton>("downloadCommand"), Qt::LeftButton);
        QCOMPARE(platform::openedAddresses(), opens.isEmpty() ? QStringList() : QStringList{opens});
        QCOMPARE(platform::shownDialogs().size(), opens.isEmpty() ? 1 : 0);
        if (opens.isEmpty()) {
            QCOMPARE(platform::shownDialogs().at(0).text,
                     QStringLiteral("下载地址不是网页地址,无法打开:\n") + url);
            QCOMPARE(platform::shownDialogs().at(0).title, QStringLiteral("提示"));
        }
        dialog.close();
    }

    // ---- icon pictures ----

    void pictureIsShown_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::newRow("gif") << kGif1x1 << QSize(1, 1);
        QTest::newRow("png") << pngBytes(7, 5) << QSize(7, 5);
    }
    void pictureIsShown() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        TestProgramFolder folder;
        TestServer server;
        server.page("/icon", bytes, "application/octet-stream");
        QLabel label;
        ScriptModule::loadPictureFromUrl(&label, server.url("/icon"));
        QCOMPARE(label.pixmap().size(), size);
        QVERIFY(!QFile::exists(folder.file("tmppp")));
        // A local file path serves as well.
        writeBytes(folder.file("local.pic"), pngBytes(3, 3));
        ScriptModule::loadPictureFromUrl(&label, folder.file("local.pic"));
        QCOMPARE(label.pixmap().size(), QSize(3, 3));
        QVERIFY(!QFile::exists(folder.file("tmppp")));
    }

    // A picture file is read only up to a few megabytes.
    void hugePictureFileIsRefused() {
        TestProgramFolder folder;
        const QByteArray png = pngBytes(6, 6);
        const QByteArray atLimit = png + QByteArray(4 * 1024 * 1024 - png.size(), '\0');
        QVERIFY(writeBytes(folder.file("limit.png"), atLimit));
        QVERIFY(writeBytes(folder.file("over.png"), atLimit + '\0'));
        QLabel label;
        ScriptModule::loadPictureFromUrl(&label, folder.file("limit.png"));
        QCOMPARE(label.pixmap().size(), QSize(6, 6));
        label.setPixmap(QPixmap::fromImage(QImage::fromData(pngBytes(4, 4))));
        ScriptModule::loadPictureFromUrl(&label, folder.file("over.png"));
        QCOMPARE(label.pixmap().size(), QSize(4, 4));
        QVERIFY(!QFile::exists(folder.file("tmppp")));
    }

    void pictureFailuresLeaveTheControl() {
        TestProgramFolder folder;
        TestServer server;
        server.page("/notapicture", "<html>hello</html>");
        QLabel label;
        label.setPixmap(QPixmap::fromImage(QImage::fromData(pngBytes(4, 4))));
        // A stale temporary file from an earlier run is not taken for the new download.
        writeBytes(folder.file("tmppp"), pngBytes(9, 9));

        ScriptModule::loadPictureFromUrl(&label, server.url("/notapicture"));
        QCOMPARE(label.pixmap().size(), QSize(4, 4));
        QVERIFY(!QFile::exists(folder.file("tmppp")));

        QElapsedTimer t;
        t.start();
        ScriptModule::loadPictureFromUrl(&label, "http://127.0.0.1:9/icon.gif");
        const qint64 took = t.elapsed();
        QVERIFY2(took >= 2900 && took < 4500, qPrintable(QString::number(took)));
        QCOMPARE(label.pixmap().size(), QSize(4, 4));
        QVERIFY(!QFile::exists(folder.file("tmppp")));

        ScriptModule::loadPictureFromUrl(nullptr, server.url("/notapicture"));  // no crash
    }
};

SUITE_TEST_MAIN(SiteTextTest)
#include "tst_sitetext.moc"
