#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "platform/core/ansi.h"
#include "platform/dialogs.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/searchwndform.h"

namespace {

const QByteArray kSearchPath = "/Velmora/script/search.asp";

}  // namespace

class SearchWndFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgramFolder> folder_;
    TestServer* server_ = nullptr;
    QByteArray reply_;
    int status_ = 200;
    int delayMs_ = 0;
    SearchWndForm& form_ = SearchWndForm::instance();

    template <typename T>
    T* control(const char* name) const {
        return form_.control<T>(QString::fromLatin1(name));
    }
    QStringList lines() const {
        QStringList result;
        auto* list = control<QListWidget>("resultList");
        for (int i = 0; i < list->count(); ++i) result << list->item(i)->text();
        return result;
    }
    void search(const QString& keyword, int type = 0) {
        control<QComboBox>("typeCombo")->setCurrentIndex(type);
        control<QLineEdit>("keywordText")->setText(keyword);
        control<QPushButton>("searchCommand")->click();
    }
    void clickLine(int row) {
        auto* list = control<QListWidget>("resultList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    QString details() const {
        QString text = control<QPlainTextEdit>("moreText")->toPlainText();
        return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    }
    QString download(const QString& kind, const QString& id) const {
        return server_->base() + "/Velmora/script/download.asp?kind=" + kind + "&id=" + id;
    }

  private Q_SLOTS:
    void initTestCase() {
        folder_ = std::make_unique<TestProgramFolder>();
        server_ = new TestServer(this);
        writeBytes(folder_->file("site.ini"),
                   platform::toAnsi("[site]\r\nmainHost=" + server_->base() +
                                    "\r\nrequestTimeoutMs=2000\r\n"));
        server_->route(kSearchPath, [this](const TestServer::Request&) {
            TestServer::Response r;
            r.contentType = "text/plain";
            r.body = reply_;
            r.status = status_;
            r.delayMs = delayMs_;
            return r;
        });
    }

    void init() {
        status_ = 200;
        delayMs_ = 0;
        platform::clearShownDialogs();
        server_->clearRequests();
        form_.setKindWord(SearchWndForm::workbenchKind());
        form_.close();
        form_.show();
    }

    void cleanupTestCase() { form_.close(); }

    void startsEmptyWithNameSelected() {
        QCOMPARE(form_.widget()->windowTitle(), QStringLiteral("搜索脚本"));
        auto* combo = control<QComboBox>("typeCombo");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), QStringLiteral("简介"));
        QCOMPARE(combo->currentText(), QStringLiteral("名称"));
        QVERIFY(form_.searchResults.isEmpty());
    }

    void requestAndHitsForBothKinds_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("workbench") << SearchWndForm::workbenchKind();
        QTest::newRow("player") << SearchWndForm::playerKind();
    }
    void requestAndHitsForBothKinds() {
        QFETCH(QString, kind);
        form_.setKindWord(kind);
        reply_ = platform::toAnsi(QStringLiteral("12:::登录脚本:::自动登录:::5|||7:::空:::::: 30"));
        search(QStringLiteral("登录 a&b"), 1);
        QCOMPARE(server_->requests().size(), 1);
        const TestServer::Request request = server_->requests().at(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, kSearchPath);
        QCOMPARE(request.headers.value("content-type"),
                 QByteArray("application/x-www-form-urlencoded"));
        // Unencoded, in ANSI.
        QCOMPARE(request.body,
                 platform::toAnsi(QStringLiteral("kind=简介&keyword=登录 a&b&filetype=") + kind));

        QCOMPARE(lines(), QStringList({QStringLiteral("编号:12  登录脚本(被下载5次)"),
                                       QStringLiteral("编号:7  空(被下载 30次)")}));
        QCOMPARE(form_.searchResults.size(), 2);
        clickLine(1);
        QCOMPARE(details(), QStringLiteral("\r\n脚本名称:空\r\n\r\n下载次数: 30\r\n\r\n脚本简介:"
                                           "\r\n\r\n下载地址:") +
                                download(kind, "7") + "\r\n");
        clickLine(0);
        QVERIFY(details().contains(QStringLiteral("脚本简介:自动登录\r\n")));
        QVERIFY(details().contains(download(kind, "12")));
    }

    // The details are those of the current result, whether a click or a key made it current.
    void detailsFollowTheCurrentResult() {
        reply_ = platform::toAnsi(
            QStringLiteral("1:::一:::甲:::10|||2:::二:::乙:::20|||3:::三:::丙:::30"));
        search("x");
        auto* list = control<QListWidget>("resultList");
        QCOMPARE(list->count(), 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QVERIFY(details().contains(QStringLiteral("脚本名称:一\r\n")));
        const QList<QPair<Qt::Key, QString>> moves = {{Qt::Key_Down, "二"},
                                                      {Qt::Key_Down, "三"},
                                                      {Qt::Key_Up, "二"},
                                                      {Qt::Key_Home, "一"},
                                                      {Qt::Key_End, "三"}};
        for (const auto& [key, name] : moves) {
            QTest::keyClick(list, key);
            QVERIFY2(details().contains(QStringLiteral("脚本名称:") + name + "\r\n"),
                     qPrintable(details()));
            QVERIFY(details().contains(download("open", QString::number(list->currentRow() + 1))));
        }
    }

    // The list getting the focus by Tab makes its first line current without picking it:
    // no details show until a line is picked (Space, the arrows, a click).
    void focusAloneShowsNoDetails() {
        reply_ = platform::toAnsi(QStringLiteral("1:::一:::甲:::10|||2:::二:::乙:::20"));
        search("x");
        form_.widget()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.widget()));
        auto* list = control<QListWidget>("resultList");
        auto* button = control<QPushButton>("searchCommand");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Tab);
        QCOMPARE(form_.widget()->focusWidget(), list);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(details(), QString());
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(details().contains(QStringLiteral("脚本名称:一\r\n")));
    }

    // Resized, the window gives the room to the keyword box, the list and the details, and
    // it is not made smaller than designed.
    void layoutFollowsTheSize() {
        QWidget* w = form_.widget();
        auto* keyword = control<QLineEdit>("keywordText");
        auto* button = control<QPushButton>("searchCommand");
        auto* list = control<QListWidget>("resultList");
        auto* more = control<QPlainTextEdit>("moreText");
        const QRect designKeyword = keyword->geometry(), designList = list->geometry(),
                    designMore = more->geometry();
        QCOMPARE(button->geometry().right() + 1, w->width() - 8);  // 120 twips from the edge
        w->resize(w->width() + 200, w->height() + 100);
        QCoreApplication::processEvents();
        QCOMPARE(keyword->width(), designKeyword.width() + 200);
        QCOMPARE(button->geometry().right() + 1, w->width() - 8);
        QCOMPARE(button->y(), keyword->y());
        QCOMPARE(list->width(), designList.width() + 200);
        QCOMPARE(more->width(), designMore.width() + 200);
        QCOMPARE(list->height(), designList.height() + 50);
        QCOMPARE(more->y(), list->geometry().bottom() + 1 + 8);
        QCOMPARE(more->geometry().bottom() + 1, w->height() - 8);

        w->resize(100, 100);
        QCoreApplication::processEvents();
        QCOMPARE(w->size(), QSize(480, 400));  // 7200 x 6000 twips
        QCOMPARE(keyword->geometry(), designKeyword);
        QCOMPARE(list->geometry(), designList);
        QCOMPARE(more->geometry(), designMore);
    }

    void apostropheRefusedAfterClearing() {
        reply_ = "1:::a:::b:::2";
        search("x");
        QCOMPARE(lines().size(), 1);
        clickLine(0);
        const QString shown = details();
        search("it's");
        QVERIFY(lines().isEmpty());
        QVERIFY(form_.searchResults.isEmpty());
        QCOMPARE(server_->requests().size(), 1);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs().at(0).text, QStringLiteral("不允许使用'来命名"));
        QCOMPARE(platform::shownDialogs().at(0).title, QStringLiteral("提示"));
        // The details of the earlier hit stay.
        QCOMPARE(details(), shown);
        reply_.clear();
        search(QString());
        QCOMPARE(server_->requests().size(), 2);
        QCOMPARE(server_->requests().at(1).body,
                 QByteArray("kind=\xC3\xFB\xB3\xC6&keyword=&filetype=open"));
        QVERIFY(lines().isEmpty());
        QCOMPARE(details(), shown);
    }

    void replyCutAtFirstChunk() {
        // The first record and its separator fill 1020 bytes; the second is cut after its id.
        const QByteArray first = "1:::" + QByteArray(1005, 'n') + ":::d:::3|||";
        QCOMPARE(first.size(), 1020);
        reply_ = first + "2:::second:::d:::4";
        search("x");
        QCOMPARE(form_.searchResults.size(), 1);
        QCOMPARE(lines().size(), 1);
        QVERIFY(lines().at(0).startsWith(QStringLiteral("编号:1  nnn")));
    }

    void incompleteRecordsAreNoHits_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("hits");
        QTest::newRow("trailing separator") << QByteArray("1:::a:::b:::2|||") << 1;
        QTest::newRow("error page") << QByteArray("<html>error</html>") << 0;
        QTest::newRow("short record between") << QByteArray("1:::a|||2:::b:::c:::3:::x") << 1;
    }
    void incompleteRecordsAreNoHits() {
        QFETCH(QByteArray, reply);
        QFETCH(int, hits);
        reply_ = reply;
        search("x");
        QCOMPARE(lines().size(), hits);
        QCOMPARE(form_.searchResults.size(), hits);
        if (hits) {
            clickLine(hits - 1);
            QVERIFY(details().contains(QStringLiteral("下载地址:")));
            QVERIFY(platform::shownDialogs().isEmpty());
        } else {
            QCOMPARE(platform::shownDialogs().size(), 1);
            QCOMPARE(platform::shownDialogs().at(0).text, QStringLiteral("没有找到符合条件的脚本"));
        }
    }

    // The list stays empty without a network, without an answer and without a hit alike;
    // the message tells which. The search is typed and sent with Enter.
    void noNetworkIsToldApartFromNoHits_data() {
        QTest::addColumn<QString>("host");  // empty for the test server
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("message");
        const QString failed = QStringLiteral("搜索失败,请检查网络~!\n");
        QTest::newRow("no site") << "http://no-such-host.invalid" << 200 << 0
                                 << failed +
                                        QStringLiteral("无法连接到网站(没有网络,或网站不存在)");
        QTest::newRow("dead port")
            << "http://127.0.0.1:1" << 200 << 0
            << failed + QStringLiteral("无法连接到网站(没有网络,或网站不存在)");
        QTest::newRow("never answers")
            << "" << 200 << 5000 << failed + QStringLiteral("网站没有回应(等待超时或连接被中断)");
        QTest::newRow("error page")
            << "" << 500 << 0 << failed + QStringLiteral("网站出错(HTTP 500)");
        QTest::newRow("no hits") << "" << 200 << 0 << QStringLiteral("没有找到符合条件的脚本");
    }
    void noNetworkIsToldApartFromNoHits() {
        QFETCH(QString, host);
        QFETCH(int, status);
        QFETCH(int, delayMs);
        QFETCH(QString, message);
        const QString site = host.isEmpty() ? server_->base() : host;
        writeBytes(folder_->file("site.ini"),
                   platform::toAnsi("[site]\r\nmainHost=" + site + "\r\nrequestTimeoutMs=800\r\n"));
        reply_.clear();
        status_ = status;
        delayMs_ = delayMs;
        auto* keyword = control<QLineEdit>("keywordText");
        keyword->setFocus();
        QTest::keyClicks(keyword, "abc");
        QTest::keyClick(keyword, Qt::Key_Return);
        writeBytes(folder_->file("site.ini"),
                   platform::toAnsi("[site]\r\nmainHost=" + server_->base() +
                                    "\r\nrequestTimeoutMs=2000\r\n"));
        QVERIFY(lines().isEmpty());
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs().at(0).text, message);
        QCOMPARE(platform::shownDialogs().at(0).title, QStringLiteral("提示"));
        QVERIFY(control<QPushButton>("searchCommand")->isEnabled());
    }

    void mainWindowSearchButtonOpensIt() {
        form_.close();
        wireSearchWindow();
        QVERIFY(MainWndForm::instance().windows.showSearchWindow);
        MainWndForm::instance().windows.showSearchWindow();
        QVERIFY(form_.isLoaded());
        QVERIFY(form_.widget()->isVisible());
    }
};

SUITE_TEST_MAIN(SearchWndFormTest)
#include "tst_searchwndform.moc"
