#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

#include "library/base64.h"
#include "library/boxfile.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "player/tolvarboxform.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::BrowserArray;
using platform::WebBrowser;

namespace {

const QString kSampleBox = QStringLiteral("页面标题.tvb");
const QString kSkin = QStringLiteral(
    "<skin><style>#zdSkin{color:rgb(1, 2, 3)}</style>"
    "<div id=\"zdSkin\" class=\"k\">$BoardTemplate$</div></skin>");
// Counts its runs in the page, so a test sees whether the box went in once or more.
const QString kCode = QStringLiteral("window.__boxRuns=(window.__boxRuns||0)+1;");

struct BoxSpec {
    QString name;
    QString home;
    QString information;
    QStringList targets;
    QString skin = kSkin;
    QString code = kCode;
};

}  // namespace

class TolvarBoxFormTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<TestProgramFolder> folder_;
    QTemporaryDir sources_;
    TolvarBoxForm& form_ = TolvarBoxForm::instance();
    QStringList commands_;
    int searches_ = 0;

    BrowserArray* array() const { return form_.host().array(); }
    WebBrowser* inUse() const { return form_.host().elementInUse(); }
    template <typename T>
    T* control(const char* name) const {
        return form_.control<T>(QString::fromLatin1(name));
    }
    QString caption() const { return form_.widget()->windowTitle(); }
    QString config() const { return QString::fromLatin1(readBytes(folder_->file("config.ini"))); }

    static bool waitFor(QSignalSpy& spy, int count = 1) {
        while (spy.size() < count)
            if (!spy.wait(15000)) return false;
        return true;
    }

    // A box file in the program folder, made the way the box maker makes it.
    void writeBox(const QString& fileName, const BoxSpec& spec) {
        ScriptModule::clearScriptDocument();
        ScriptDocument& doc = ScriptModule::scriptDocument();
        doc.name = spec.name;
        doc.home = spec.home;
        doc.information = spec.information;
        doc.author = QStringLiteral("作者甲");
        doc.icon = QStringLiteral("http://127.0.0.1/icon.png");
        doc.script = spec.code;
        doc.target = spec.targets;
        const QString script = sources_.filePath(fileName + QStringLiteral(".txt"));
        const QString skin = sources_.filePath(fileName + QStringLiteral(".skin"));
        QVERIFY(ScriptModule::saveScriptFile(script));
        QVERIFY(ScriptModule::writeTextFile(skin, spec.skin));
        QVERIFY(BoxFile::writeBox(skin, script, folder_->file(fileName)));
        ScriptModule::clearScriptDocument();
    }

    void remember(const QString& fileName) {
        QVERIFY(writeBytes(folder_->file("config.ini"),
                           "[save]\r\nDefaultScript=" +
                               BASE64BoxModule::boxBase64Encode(fileName).toLatin1() + "\r\n"));
    }

    // Closes the window when it is open and opens it again: a fresh start-up, with no box
    // open yet as at the program's start.
    void restart() {
        if (form_.isLoaded()) form_.close();
        BoxScript::clearScriptDocument();
        form_.currentBoxFile.clear();
        form_.boxSkinText.clear();
        form_.boxScriptText.clear();
        QVERIFY(!form_.isLoaded());
        commands_.clear();
        form_.show();
        QVERIFY(form_.isLoaded());
    }

    QVariant page(const QString& expression) const {
        return inUse()->Document().evaluate(expression);
    }
    QString bodyHtml() const { return page(QStringLiteral("document.body.innerHTML")).toString(); }

    bool go(const QString& address) {
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        control<QLineEdit>("urlText")->setText(address);
        control<QPushButton>("urlCommand")->click();
        return waitFor(done);
    }
    bool tool(int index) {
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        form_.control<QToolButton>(QStringLiteral("toolBtn_%1").arg(index))->click();
        return waitFor(done);
    }

    QStringList boxList() const {
        QStringList items;
        auto* list = control<QComboBox>("scriptListCombo");
        for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
        return items;
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(sources_.isValid());
        server_ = new TestServer(this);
        server_->page("/", "<html><body>home</body></html>");
        server_->page("/total.htm", "<html><body>counted</body></html>");
        server_->page("/match/a.html", "<html><head></head><body>a</body></html>");
        server_->page("/match/b.html", "<html><head></head><body>b</body></html>");
        server_->page("/MATCH/c.html", "<html><head></head><body>c</body></html>");
        server_->page("/other/d.html", "<html><head></head><body>d</body></html>");
        server_->page("/match/framed.html",
                      "<html><head></head><body><iframe src=\"/match/b.html\"></iframe>"
                      "<iframe src=\"/other/d.html\"></iframe></body></html>");

        folder_ = std::make_unique<TestProgramFolder>(QStringLiteral("zandrel"));
        QVERIFY(folder_->isValid());
        QVERIFY(writeBytes(folder_->file("site.ini"),
                           "[site]\r\nmainHost=" + server_->base().toLatin1() + "\r\n"));

        writeBox(QStringLiteral("match.tvb"),
                 {QStringLiteral("命中盒"),
                  QStringLiteral("http://home.example/match"),
                  QStringLiteral("说明"),
                  {QStringLiteral("/match/"), QStringLiteral("127.0.0.1")}});
        writeBox(QStringLiteral("x.tvb.bak"),
                 {QStringLiteral("备份盒"), QString(), QString(), {QStringLiteral("/other/")}});
        QVERIFY(writeBytes(folder_->file("X.TVB"), "not listed"));
        QVERIFY(writeBytes(folder_->file("broken.tvb"), "QUJD\r\n"));
        QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("folder.tvb")));

        form_.registerComponent = [this](const QString& command) { commands_ << command; };
        form_.showSearchWindow = [this] { ++searches_; };
    }

    void cleanupTestCase() {
        if (form_.isLoaded()) form_.close();
    }

    // The shipped folder: its sample box is remembered, opened and introduced.
    void startUpOpensRememberedBox() {
        restart();
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(页面标题)"));
        QCOMPARE(form_.currentBoxFile, kSampleBox);
        QCOMPARE(control<QComboBox>("scriptListCombo")->currentText(), kSampleBox);

        QStringList listed = boxList();
        listed.sort();
        QStringList expected{kSampleBox, QStringLiteral("match.tvb"), QStringLiteral("x.tvb.bak"),
                             QStringLiteral("broken.tvb")};
        expected.sort();
        QCOMPARE(listed, expected);

        // Written back with the value just read, tidied by the INI writer.
        QCOMPARE(config(), QStringLiteral("[save]\r\nDefaultScript=") +
                               BASE64BoxModule::boxBase64Encode(kSampleBox) +
                               QStringLiteral("\r\n"));

        QCOMPARE(commands_.size(), TolvarBoxForm::componentFiles().size());
        QCOMPARE(commands_.first(),
                 QStringLiteral("regsvr32 /s ") + folder_->path() + QStringLiteral("\\COMCAT.DLL"));
        QCOMPARE(commands_.last(), QStringLiteral("regsvr32 /s ") + folder_->path() +
                                       QStringLiteral("\\SysTray.ocx"));
        QCOMPARE(form_.tray().toolTip(), QStringLiteral("欢迎使用ZandrelV2.0"));
        QVERIFY(!form_.tray().inTray());

        // The shipped template, filled from the sample box.
        const ScriptDocument& doc = ScriptModule::scriptDocument();
        QVERIFY(bodyHtml().contains(QStringLiteral("zd-card")));
        QVERIFY(bodyHtml().contains(doc.name));
        QVERIFY(!bodyHtml().contains(QStringLiteral("${")));
        QCOMPARE(page(QStringLiteral("document.head.lastElementChild.tagName")).toString(),
                 QStringLiteral("STYLE"));
        QVERIFY(page(QStringLiteral("document.head.lastElementChild.textContent"))
                    .toString()
                    .contains(QStringLiteral(".zd-card")));
        QCOMPARE(control<QLineEdit>("urlText")->text(), doc.home);

        // The statistics page was asked for once.
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const auto& r : server_->requests())
                    if (r.path == "/total.htm" && r.query.startsWith("t=")) return true;
                return false;
            },
            5000));
        QVERIFY(!control<WebBrowser>("totalWB")->isVisible());
    }

    void startUpWithoutRememberedBox_data() {
        QTest::addColumn<QByteArray>("configText");
        QTest::newRow("no key") << QByteArray("[save]\r\n");
        QTest::newRow("box gone") << QByteArray("[save]\r\nDefaultScript=") +
                                         BASE64BoxModule::boxBase64Encode("gone.tvb").toLatin1() +
                                         "\r\n";
        QTest::newRow("other case")
            << QByteArray("[save]\r\nDefaultScript=") +
                   BASE64BoxModule::boxBase64Encode("MATCH.tvb").toLatin1() + "\r\n";
    }
    void startUpWithoutRememberedBox() {
        QFETCH(QByteArray, configText);
        QVERIFY(writeBytes(folder_->file("config.ini"), configText));
        restart();
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0"));
        QCOMPARE(bodyHtml(), QStringLiteral("欢迎使用ZandrelV2.0"));
        QCOMPARE(control<QLineEdit>("urlText")->text(), QStringLiteral("http://"));
        QCOMPARE(readBytes(folder_->file("config.ini")), configText);
    }

    void introPage_data() {
        QTest::addColumn<QString>("templateText");
        QTest::addColumn<QString>("information");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("css");
        const QString unsafe = QStringLiteral("介绍页面发现不安全因素请到主站重新下载.");
        QTest::newRow("tokens") << QStringLiteral(
                                       "<style>p{color:red}</style><body><p>${scriptName}|"
                                       "${scriptAuthor}|${scriptInfo}</p><i>${localPath}</i>"
                                       "<b/></body>")
                                << QStringLiteral("好")
                                << QStringLiteral("<p>命中盒|作者甲|好</p><i>file://%1</i><b></b>")
                                << QStringLiteral("p{color:red}");
        QTest::newRow("iframe") << QStringLiteral("<body><iframe src=\"x\"/></body>")
                                << QStringLiteral("好") << unsafe << QString();
        QTest::newRow("capital Script")
            << QStringLiteral("<body><p>Script</p></body>") << QStringLiteral("好")
            << QStringLiteral("<p>Script</p>") << QString();
        QTest::newRow("info says frame") << QStringLiteral("<body><p>${scriptInfo}</p></body>")
                                         << QStringLiteral("a frame") << unsafe << QString();
        QTest::newRow("markup in a value")
            << QStringLiteral("<body><p>${scriptInfo}</p></body>")
            << QStringLiteral("<img src=\"x\" onerror=\"window.__hit=1\"/> & more")
            << QStringLiteral("<p>&lt;img src=\"x\" onerror=\"window.__hit=1\"/&gt; &amp; more</p>")
            << QString();
        QTest::newRow("not well-formed") << QStringLiteral("<style>x</style><body><p></body>")
                                         << QStringLiteral("好") << QString() << QString();
        QTest::newRow("no template") << QString() << QStringLiteral("好") << QString() << QString();
    }
    void introPage() {
        QFETCH(QString, templateText);
        QFETCH(QString, information);
        QFETCH(QString, body);
        QFETCH(QString, css);
        const QString shipped = ScriptModule::readTextFile(folder_->file("skin.html"));
        if (templateText.isEmpty())
            QFile::remove(folder_->file("skin.html"));
        else
            QVERIFY(ScriptModule::writeTextFile(folder_->file("skin.html"), templateText));
        writeBox(QStringLiteral("intro.tvb"), {QStringLiteral("命中盒"),
                                               QStringLiteral("http://home.example/"),
                                               information,
                                               {QStringLiteral("/match/")}});
        remember(QStringLiteral("intro.tvb"));
        restart();
        QFile::remove(folder_->file("intro.tvb"));
        QVERIFY(ScriptModule::writeTextFile(folder_->file("skin.html"), shipped));

        QCOMPARE(bodyHtml(), QString(body).replace(QStringLiteral("%1"), folder_->path()));
        QCOMPARE(control<QLineEdit>("urlText")->text(), QStringLiteral("http://home.example/"));
        if (body.contains(QStringLiteral("不安全"))) {
            QCOMPARE(
                page(QStringLiteral("document.head.getElementsByTagName('style').length")).toInt(),
                0);
        } else {
            QCOMPARE(page(QStringLiteral("document.head.lastElementChild.textContent")).toString(),
                     css);
        }
    }

    // Matching box open, the user drives the browser.
    void injection_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("runs");
        QTest::newRow("two targets match") << QStringLiteral("/match/a.html") << 1;
        QTest::newRow("other letter case") << QStringLiteral("/MATCH/c.html") << 1;
        QTest::newRow("one target") << QStringLiteral("/other/d.html") << 1;
        QTest::newRow("frames") << QStringLiteral("/match/framed.html") << 1;
    }
    void injection() {
        QFETCH(QString, path);
        QFETCH(int, runs);
        remember(QStringLiteral("match.tvb"));
        if (form_.currentBoxFile != QStringLiteral("match.tvb")) restart();
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(命中盒)"));
        QVERIFY(go(server_->url(path)));
        // Every page of this server holds the "127.0.0.1" target.
        QCOMPARE(page(QStringLiteral("window.__boxRuns")).toInt(), runs);
        QCOMPARE(page(QStringLiteral("document.getElementById('zdSkin').className")).toString(),
                 QStringLiteral("k"));
        QCOMPARE(page(QStringLiteral("document.body.lastElementChild.text")).toString(), kCode);
        QCOMPARE(control<QLineEdit>("urlText")->text(), server_->url(path));
    }

    void targetMatching_data() {
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<bool>("matches");
        QTest::newRow("none") << QStringList() << false;
        QTest::newRow("empty entry") << QStringList{QString()} << true;
        QTest::newRow("substring") << QStringList{QStringLiteral("ample.com/s")} << true;
        QTest::newRow("letter case") << QStringList{QStringLiteral("Example")} << false;
        QTest::newRow("later entry")
            << QStringList{QStringLiteral("x"), QStringLiteral("?q=")} << true;
    }
    void targetMatching() {
        QFETCH(QStringList, targets);
        QFETCH(bool, matches);
        QCOMPARE(
            playerIntro::matchesTarget(QStringLiteral("http://www.example.com/s?q=1"), targets),
            matches);
    }

    void injectionNeedsATarget() {
        writeBox(QStringLiteral("narrow.tvb"),
                 {QStringLiteral("窄"), QString(), QString(), {QStringLiteral("/Match/")}});
        remember(QStringLiteral("narrow.tvb"));
        restart();
        QFile::remove(folder_->file("narrow.tvb"));
        QVERIFY(go(server_->url(QStringLiteral("/match/a.html"))));
        QVERIFY(page(QStringLiteral("window.__boxRuns === undefined")).toBool());
        QCOMPARE(page(QStringLiteral("document.getElementById('zdSkin') === null")).toBool(), true);
    }

    // A later pick changes caption, config and injected box, never the page on show.
    void pickingABox() {
        remember(kSampleBox);
        restart();
        const QString intro = bodyHtml();
        auto* list = control<QComboBox>("scriptListCombo");
        const int matchIndex = list->findText(QStringLiteral("match.tvb"));
        QVERIFY(matchIndex >= 0);
        list->setCurrentIndex(matchIndex);
        Q_EMIT list->activated(matchIndex);
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(命中盒)"));
        QVERIFY(config().contains(BASE64BoxModule::boxBase64Encode(QStringLiteral("match.tvb"))));
        QCOMPARE(bodyHtml(), intro);
        QVERIFY(go(server_->url(QStringLiteral("/match/b.html"))));
        QCOMPARE(page(QStringLiteral("window.__boxRuns")).toInt(), 1);

        // A box that cannot be opened leaves nothing of the one before it.
        const int brokenIndex = list->findText(QStringLiteral("broken.tvb"));
        list->setCurrentIndex(brokenIndex);
        Q_EMIT list->activated(brokenIndex);
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0()"));
        QVERIFY(form_.boxSkinText.isEmpty());
        QVERIFY(go(server_->url(QStringLiteral("/match/a.html"))));
        QVERIFY(page(QStringLiteral("window.__boxRuns === undefined")).toBool());
    }

    void toolbar() {
        remember(QStringLiteral("match.tvb"));
        restart();
        // No history yet: back and forward change nothing and ask nothing.
        const QString blank = inUse()->LocationURL();
        form_.toolClicked(1);
        form_.toolClicked(3);
        QTest::qWait(100);
        QCOMPARE(inUse()->LocationURL(), blank);
        QVERIFY(platform::shownDialogs().isEmpty());

        QVERIFY(tool(0));
        QCOMPARE(inUse()->LocationURL(), server_->url(QStringLiteral("/")));
        QVERIFY(go(server_->url(QStringLiteral("/match/a.html"))));
        QVERIFY(tool(1));
        QCOMPARE(inUse()->LocationURL(), server_->url(QStringLiteral("/")));
        QVERIFY(tool(3));
        QCOMPARE(inUse()->LocationURL(), server_->url(QStringLiteral("/match/a.html")));
        QCOMPARE(page(QStringLiteral("window.__boxRuns")).toInt(), 1);

        // A refreshed page gets the box again, in its new document.
        QVERIFY(page(QStringLiteral("window.__mark = 1")).toBool());
        QVERIFY(tool(2));
        QVERIFY(page(QStringLiteral("window.__mark === undefined")).toBool());
        QCOMPARE(page(QStringLiteral("window.__boxRuns")).toInt(), 1);

        form_.toolClicked(4);
        const int before = searches_;
        form_.control<QToolButton>(QStringLiteral("toolBtn_5"))->click();
        QCOMPARE(searches_, before + 1);
        QCOMPARE(inUse()->LocationURL(), server_->url(QStringLiteral("/match/a.html")));

        const QStringList tips{QStringLiteral("首 页"), QStringLiteral("后 退"),
                               QStringLiteral("刷 新"), QStringLiteral("前 进"),
                               QStringLiteral("停 止"), QStringLiteral("搜 索")};
        for (int i = 0; i < tips.size(); ++i)
            QCOMPARE(form_.control<QToolButton>(QStringLiteral("toolBtn_%1").arg(i))->toolTip(),
                     tips[i]);
    }

    // A page's new window gets the box too; the next opening of the window starts over on
    // element 0 without registering the components twice.
    void newWindowThenRecovery() {
        remember(QStringLiteral("match.tvb"));
        restart();
        QVERIFY(go(server_->url(QStringLiteral("/match/a.html"))));
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        QVERIFY(inUse()->Document().execScript(QStringLiteral("window.open('/match/b.html');")).ok);
        QVERIFY(waitFor(done));
        QCOMPARE(form_.curBrowserIndex, qint16(1));
        QVERIFY(inUse()->Silent());
        QCOMPARE(inUse()->LocationURL(), server_->url(QStringLiteral("/match/b.html")));
        QCOMPARE(page(QStringLiteral("window.__boxRuns")).toInt(), 1);
        QCOMPARE(inUse()->width(), control<QFrame>("toolsFrame")->width());

        if (form_.isLoaded()) form_.close();
        commands_.clear();
        form_.show();
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QCOMPARE(commands_.size(), TolvarBoxForm::componentFiles().size());
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(命中盒)"));
        QVERIFY(inUse()->ReadyState() == 4);
        QCOMPARE(inUse()->LocationURL(), QStringLiteral("about:blank"));
        QVERIFY(!bodyHtml().isEmpty());
    }

    void trayOnMinimise_data() {
        QTest::addColumn<bool>("trayShown");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray") << false;
    }
    void trayOnMinimise() {
        QFETCH(bool, trayShown);
        if (!form_.isLoaded()) restart();
        form_.trayAvailable = [trayShown] { return trayShown; };
        QWidget* window = form_.widget();
        window->showMinimized();
        if (trayShown) {
            QVERIFY(QTest::qWaitFor([&] { return form_.tray().inTray() && !window->isVisible(); },
                                    5000));
            form_.tray().simulateRestore();
            QVERIFY(!form_.tray().inTray());
        } else {
            // Without a notification area the window stays where the user can get it back.
            QTest::qWait(50);
            QVERIFY(!form_.tray().inTray());
            QVERIFY(window->isVisible());
            window->showNormal();
        }
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
        QTest::qWait(50);
        QVERIFY(window->isVisible());
    }

    void layout() {
        if (!form_.isLoaded()) restart();
        QWidget* window = form_.widget();
        window->resize(900, 600);
        QTRY_COMPARE(inUse()->width(), control<QFrame>("toolsFrame")->width());
        auto* jump = control<QPushButton>("urlCommand");
        // Twips round down to whole pixels on the way.
        QVERIFY(qAbs(jump->x() + jump->width() -
                     (window->frameGeometry().width() - platform::px(200))) <= 1);
        // Too small for its controls: the steps that would go negative are skipped.
        window->resize(40, 40);
        QTest::qWait(20);
        QVERIFY(form_.isLoaded());
        window->resize(900, 600);
    }
};

SUITE_TEST_MAIN(TolvarBoxFormTest)
#include "tst_tolvarboxform.moc"
