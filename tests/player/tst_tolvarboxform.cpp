#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "library/base64.h"
#include "library/boxfile.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "livepage/browserhost.h"
#include "platform/core/ansi.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/webbrowser.h"
#include "player/playerprogram.h"
#include "player/tolvarboxform.h"
#include "support/localsecrets.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/searchwndform.h"

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
    QString icon = QStringLiteral("http://127.0.0.1/icon.png");
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
        doc.icon = spec.icon;
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
    // open yet as at the program's start. The window is on screen at once, and the
    // introduction page follows once the blank page has loaded.
    void restart() {
        if (form_.isLoaded()) form_.close();
        BoxScript::clearScriptDocument();
        form_.currentBoxFile.clear();
        form_.boxSkinText.clear();
        form_.boxScriptText.clear();
        QVERIFY(!form_.isLoaded());
        commands_.clear();
        QSignalSpy intro(&form_, &TolvarBoxForm::introPageShown);
        form_.show();
        QVERIFY(form_.isLoaded());
        QVERIFY(form_.widget()->isVisible());
        QCOMPARE(intro.size(), 0);
        QVERIFY(intro.wait(15000));
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

    // Picks a box in the list as the user does: the drop-down opened, the entry clicked.
    void pick(const QString& name) {
        auto* list = control<QComboBox>("scriptListCombo");
        const int index = list->findText(name);
        QVERIFY(index >= 0);
        list->showPopup();
        QAbstractItemView* view = list->view();
        QTRY_VERIFY(view->isVisible());
        const QModelIndex item = view->model()->index(index, 0);
        view->scrollTo(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        QTRY_VERIFY(!view->isVisible());
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
        QVERIFY(writeBytes(folder_->file("box10.tvb"), "QUJD\r\n"));
        QVERIFY(writeBytes(folder_->file("Box9.tvb"), "QUJD\r\n"));
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

        // By name, letter case aside and numbers by value, Chinese names last.
        QCOMPARE(boxList(), QStringList({"Box9.tvb", "box10.tvb", "broken.tvb", "match.tvb",
                                         "x.tvb.bak", kSampleBox}));

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

        // The statistics page was asked for once. Once it is in, the hidden view lets it go,
        // and no render process stays behind for it.
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const auto& r : server_->requests())
                    if (r.path == "/total.htm" && r.query.startsWith("t=")) return true;
                return false;
            },
            5000));
        auto* total = control<WebBrowser>("totalWB");
        QVERIFY(!total->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(total->LocationURL().isEmpty(), 15000);
        QCOMPARE(total->page()->renderProcessPid(), 0);
        QVERIFY(inUse()->page()->renderProcessPid() > 0);
    }

    // The window is the user's while the introduction page is on its way: a page the user goes
    // to first is not overwritten by it.
    void pageGoneToBeforeTheIntroduction() {
        remember(kSampleBox);
        if (form_.isLoaded()) form_.close();
        QSignalSpy intro(&form_, &TolvarBoxForm::introPageShown);
        form_.show();
        QVERIFY(form_.isLoaded());
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        auto* urlText = control<QLineEdit>("urlText");
        urlText->clear();
        QTest::keyClicks(urlText, server_->url("/other/d.html"));
        QTest::mouseClick(control<QPushButton>("urlCommand"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            inUse()->LocationURL() == server_->url("/other/d.html") && inUse()->ReadyState() == 4,
            15000);
        QTest::qWait(300);
        QVERIFY2(bodyHtml().startsWith(QLatin1Char('d')) &&
                     !bodyHtml().contains(QStringLiteral("zd-card")),
                 qPrintable(bodyHtml()));
        QCOMPARE(intro.size(), 0);
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

    // A config.ini save cut short leaves its temporary file: it goes at the next start and
    // is never offered as a box.
    void staleSaveGoesAtStart() {
        const QStringList stale = {folder_->file(".tolvar-save-Ab12Cd"),
                                   folder_->file(".config.ini.Xy12Zw"),
                                   folder_->file(".a.tvb.Qq12Rr")};
        for (const QString& path : stale) {
            QVERIFY(writeBytes(path, "half"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime));
        }
        restart();
        for (const QString& path : stale) QVERIFY2(!QFile::exists(path), qPrintable(path));
        for (const QString& box : boxList()) QVERIFY2(!box.startsWith('.'), qPrintable(box));
    }

    void introPage_data() {
        QTest::addColumn<QString>("templateText");
        QTest::addColumn<QString>("information");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("css");
        const QString unsafe = QStringLiteral("介绍页面发现不安全因素请到主站重新下载.");
        const QString home = QStringLiteral("http://home.example/");
        const QString icon = QStringLiteral("http://127.0.0.1/icon.png");
        const QString link =
            QStringLiteral("<body><a href=\"${scriptPage}\">${scriptPage}</a></body>");
        const QString iconStyle =
            QStringLiteral("<body><div style=\"background-image: url('${scriptIcon}');\"/></body>");
        QTest::newRow("tokens") << QStringLiteral(
                                       "<style>p{color:red}</style><body><p>${scriptName}|"
                                       "${scriptAuthor}|${scriptInfo}</p><i>${localPath}</i>"
                                       "<b/></body>")
                                << QStringLiteral("好") << home << icon
                                << QStringLiteral("<p>命中盒|作者甲|好</p><i>file://%1</i><b></b>")
                                << QStringLiteral("p{color:red}");
        QTest::newRow("iframe") << QStringLiteral("<body><iframe src=\"x\"/></body>")
                                << QStringLiteral("好") << home << icon << unsafe << QString();
        QTest::newRow("script element")
            << QStringLiteral("<body><p>a</p><script>window.__hit=1</script></body>")
            << QStringLiteral("好") << home << icon << unsafe << QString();
        QTest::newRow("event attribute naming a script")
            << QStringLiteral("<body><p onclick=\"javascript:x()\">a</p></body>")
            << QStringLiteral("好") << home << icon << unsafe << QString();
        QTest::newRow("capital Script")
            << QStringLiteral("<body><p>Script</p></body>") << QStringLiteral("好") << home << icon
            << QStringLiteral("<p>Script</p>") << QString();
        // The test covers what the box puts in, wherever it is shown.
        QTest::newRow("info says frame")
            << QStringLiteral("<body><p>${scriptInfo}</p></body>")
            << QStringLiteral("a frame of mind") << home << icon << unsafe << QString();
        QTest::newRow("info says description")
            << QStringLiteral("<body><p>${scriptInfo}</p></body>")
            << QStringLiteral("no description") << home << icon << unsafe << QString();
        QTest::newRow("home page link to a script")
            << link << QStringLiteral("好") << QStringLiteral("javascript:alert(1)") << icon
            << unsafe << QString();
        // Past the test, only a web address becomes a link.
        QTest::newRow("home page link")
            << link << QStringLiteral("好") << home << icon
            << QStringLiteral("<a href=\"http://home.example/\">http://home.example/</a>")
            << QString();
        QTest::newRow("home page JavaScript: is no link")
            << link << QStringLiteral("好") << QStringLiteral("JavaScript:window.__hit=1") << icon
            << QStringLiteral("<a>JavaScript:window.__hit=1</a>") << QString();
        QTest::newRow("home page in a local file is no link")
            << link << QStringLiteral("好") << QStringLiteral("file:///etc/passwd") << icon
            << QStringLiteral("<a>file:///etc/passwd</a>") << QString();
        QTest::newRow("home page link, quote and markup kept in")
            << link << QStringLiteral("好") << QStringLiteral("http://h/\"><b>x</b>") << icon
            << QStringLiteral(
                   "<a href=\"http://h/%22%3E%3Cb%3Ex%3C/b%3E\">http://h/\"&gt;&lt;b&gt;"
                   "x&lt;/b&gt;</a>")
            << QString();
        QTest::newRow("markup in a value")
            << QStringLiteral("<body><p>${scriptInfo}</p></body>")
            << QStringLiteral("<img src=\"x\" onerror=\"window.__hit=1\"/> & more") << home << icon
            << QStringLiteral("<p>&lt;img src=\"x\" onerror=\"window.__hit=1\"/&gt; &amp; more</p>")
            << QString();
        // The icon stays the picture address it is meant to be.
        QTest::newRow("icon in url()")
            << iconStyle << QStringLiteral("好") << home << icon
            << QStringLiteral(
                   "<div style=\"background-image: url('http://127.0.0.1/icon.png');\"></div>")
            << QString();
        QTest::newRow("icon breaking out of url()")
            << iconStyle << QStringLiteral("好") << home
            << QStringLiteral("x');background:url('{server}/stolen")
            << QStringLiteral("<div style=\"background-image: url('');\"></div>") << QString();
        QTest::newRow("web icon with a quote stays one address")
            << iconStyle << QStringLiteral("好") << home
            << QStringLiteral("{server}/a'),url('{server}/stolen")
            << QStringLiteral(
                   "<div style=\"background-image: url('{server}/a\\27 ),url(\\27 "
                   "{server}/stolen');\"></div>")
            << QString();
        QTest::newRow("value in a style sheet is one word")
            << QStringLiteral("<style>p{color:${scriptInfo}}</style><body/>")
            << QStringLiteral("red;background:url(x)") << home << icon << QString()
            << QStringLiteral("p{color:red\\3b background\\3a url\\28 x\\29 }");
        QTest::newRow("value in a style sheet string")
            << QStringLiteral("<style>p:after{content:\"${scriptInfo}\"}</style><body/>")
            << QStringLiteral("a\"}b{") << home << icon << QString()
            << QStringLiteral("p:after{content:\"a\\22 }b{\"}");
        QTest::newRow("no value in an event handler or a comment")
            << QStringLiteral(
                   "<body><p title=\"${scriptName}\" onmouseover=\"go('${scriptName}')\">x</p>"
                   "<!--${scriptInfo}--></body>")
            << QStringLiteral("--><img src=x onerror=window.__hit=1>") << home << icon
            << QStringLiteral("<p title=\"命中盒\" onmouseover=\"go('')\">x</p><!---->")
            << QString();
        QTest::newRow("not well-formed")
            << QStringLiteral("<style>x</style><body><p></body>") << QStringLiteral("好") << home
            << icon << QString() << QString();
        QTest::newRow("no template")
            << QString() << QStringLiteral("好") << home << icon << QString() << QString();
    }
    void introPage() {
        QFETCH(QString, templateText);
        QFETCH(QString, information);
        QFETCH(QString, home);
        QFETCH(QString, icon);
        QFETCH(QString, body);
        QFETCH(QString, css);
        icon.replace(QStringLiteral("{server}"), server_->base());
        body.replace(QStringLiteral("{server}"), server_->base());
        const QString shipped = ScriptModule::readTextFile(folder_->file("skin.html"));
        if (templateText.isEmpty())
            QFile::remove(folder_->file("skin.html"));
        else
            QVERIFY(ScriptModule::writeTextFile(folder_->file("skin.html"), templateText));
        BoxSpec spec{QStringLiteral("命中盒"), home, information, {QStringLiteral("/match/")}};
        spec.icon = icon;
        writeBox(QStringLiteral("intro.tvb"), spec);
        remember(QStringLiteral("intro.tvb"));
        server_->clearRequests();
        restart();
        QFile::remove(folder_->file("intro.tvb"));
        QVERIFY(ScriptModule::writeTextFile(folder_->file("skin.html"), shipped));

        QCOMPARE(bodyHtml(), QString(body).replace(QStringLiteral("%1"), folder_->path()));
        // Only a web address is offered for the jump.
        QCOMPARE(control<QLineEdit>("urlText")->text(),
                 platform::isWebAddress(home) ? home : QStringLiteral("http://"));
        QVERIFY(page(QStringLiteral("window.__hit === undefined")).toBool());
        // The blank page has no style of its own: one goes in, CSS or none, unless refused.
        const bool refused = body.contains(QStringLiteral("不安全"));
        QCOMPARE(page(QStringLiteral("document.head.getElementsByTagName('style').length")).toInt(),
                 refused ? 0 : 1);
        if (!refused) {
            QCOMPARE(page(QStringLiteral("document.head.getElementsByTagName('style')[0]"
                                         ".textContent"))
                         .toString(),
                     css);
        }
        // No address of the box's choosing was loaded.
        QTest::qWait(200);
        for (const TestServer::Request& r : server_->requests())
            QVERIFY2(r.path != "/stolen", r.path.constData());
    }

    // The program's own folder may be called anything: it is no part of the safety test.
    void introPageUnderAnyFolder() {
        const QString installed =
            sources_.filePath(QStringLiteral("javascript tools/iframe kit/Zandrel"));
        QVERIFY(QDir().mkpath(installed));
        for (const QString& file : {QStringLiteral("skin.html"), QStringLiteral("match.tvb")})
            QVERIFY(QFile::copy(folder_->file(file), installed + QLatin1Char('/') + file));
        platform::setProgramFolder(installed);
        remember(QStringLiteral("match.tvb"));
        QVERIFY(
            QFile::copy(folder_->file("config.ini"), installed + QStringLiteral("/config.ini")));
        restart();
        platform::setProgramFolder(folder_->path());
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(命中盒)"));
        QVERIFY(bodyHtml().contains(QStringLiteral("zd-card")));
        QVERIFY(bodyHtml().contains(QStringLiteral("file://") + installed));
        QVERIFY(!bodyHtml().contains(QStringLiteral("不安全")));
    }

    // The safety test: over the template with the values in, the folder left out.
    void isSafe_data() {
        QTest::addColumn<QString>("templateText");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("home");
        QTest::addColumn<bool>("safe");
        QTest::newRow("tokens only")
            << QStringLiteral("<p>${scriptName}${localPath}</p>") << QString() << QString() << true;
        QTest::newRow("values join no word")
            << QStringLiteral("<p>fra${scriptName}me scr${scriptInfo}ipt</p>") << QString()
            << QString() << true;
        QTest::newRow("empty value joins a word")
            << QStringLiteral("<p>fra${scriptIcon}me</p>") << QString() << QString() << false;
        QTest::newRow("the folder joins no word")
            << QStringLiteral("<p>fra${localPath}me</p>") << QString() << QString() << true;
        QTest::newRow("icon in an attribute")
            << QStringLiteral("<div style=\"background:url('${scriptIcon}')\"/>")
            << QStringLiteral("http://x/frame.png") << QString() << false;
        QTest::newRow("icon as text") << QStringLiteral("<p>${scriptIcon}</p>")
                                      << QStringLiteral("http://x/frame.png") << QString() << false;
        QTest::newRow("home as text") << QStringLiteral("<a href=\"x\">${scriptPage}</a>")
                                      << QString() << QStringLiteral("javascript:x") << false;
        QTest::newRow("capital S passes") << QStringLiteral("<a href=\"${scriptPage}\">a</a>")
                                          << QString() << QStringLiteral("JavaScript:x") << true;
        // A value holding a later token has that token replaced too.
        QTest::newRow("home holding a token")
            << QStringLiteral("<a href=\"${scriptPage}\">a</a>") << QString()
            << QStringLiteral("${scriptInfo}") << true;
        QTest::newRow("home holding the folder token")
            << QStringLiteral("<a href=\"${scriptPage}\">a</a>") << QString()
            << QStringLiteral("${localPath}") << true;
        QTest::newRow("template's own word")
            << QStringLiteral("<p>description</p>") << QString() << QString() << false;
    }
    void isSafe() {
        QFETCH(QString, templateText);
        QFETCH(QString, icon);
        QFETCH(QString, home);
        QFETCH(bool, safe);
        QCOMPARE(playerIntro::isSafe(templateText, {icon, QStringLiteral("n"), QStringLiteral("a"),
                                                    home, QStringLiteral("i")}),
                 safe);
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
        pick(QStringLiteral("match.tvb"));
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(命中盒)"));
        QVERIFY(config().contains(BASE64BoxModule::boxBase64Encode(QStringLiteral("match.tvb"))));
        QCOMPARE(control<QComboBox>("scriptListCombo")->toolTip(), QStringLiteral("match.tvb"));
        QCOMPARE(bodyHtml(), intro);
        QVERIFY(go(server_->url(QStringLiteral("/match/b.html"))));
        QCOMPARE(page(QStringLiteral("window.__boxRuns")).toInt(), 1);
    }

    // A box name as long as a file name may be: the drop-down keeps to a width of its own and
    // shows the name shortened, and whole in its tip.
    void longBoxNameInTheList() {
        const QString longName = QStringLiteral("b").repeated(241) + QStringLiteral(".tvb");
        writeBox(QStringLiteral("long.tvb"),
                 {QStringLiteral("长名盒"), QString(), QString(), {QStringLiteral("/x/")}});
        QVERIFY(QFile::rename(folder_->file("long.tvb"), folder_->file(longName)));
        remember(QStringLiteral("match.tvb"));
        restart();
        auto* list = control<QComboBox>("scriptListCombo");
        const int index = list->findText(longName);
        QVERIFY(index >= 0);
        QCOMPARE(list->itemData(index, Qt::ToolTipRole).toString(), longName);
        list->showPopup();
        QAbstractItemView* view = list->view();
        QTRY_VERIFY(view->isVisible());
        QCOMPARE(view->textElideMode(), Qt::ElideMiddle);
        const int widest = platform::px(5400);
        QVERIFY2(view->window()->width() <= widest,
                 qPrintable(QString::number(view->window()->width())));
        QVERIFY(view->window()->width() >= list->width());
        QVERIFY(view->window()->width() < list->fontMetrics().horizontalAdvance(longName));
        list->hidePopup();
        pick(longName);
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(长名盒)"));
        QCOMPARE(list->toolTip(), longName);
        QFile::remove(folder_->file(longName));
    }

    // A file that is no box is said to be one that cannot be opened; the box in use (or none)
    // stays, and the broken one is not remembered.
    void fileThatIsNoBox_data() {
        QTest::addColumn<QByteArray>("bytes");
        const auto box = [](const QByteArray& skin, const QByteArray& script) {
            return platform::toAnsi(BASE64BoxModule::boxBase64Encode(
                       BASE64Module::base64Encode(platform::fromAnsi(skin)) + QLatin1Char(':') +
                       BASE64Module::base64Encode(platform::fromAnsi(script)))) +
                   "\r\n";
        };
        QTest::newRow("not base64") << QByteArray("这不是盒子 *** !!!\r\n");
        QTest::newRow("no separator") << QByteArray("QUJD\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("random bytes") << QByteArray("\x00\xff\x13\x80:\xfe\r\n\x7f", 9);
        QTest::newRow("script not XML")
            << box("<skin/>", "<Tolvar><base><name>坏</name></base><target></Tolvar>");
        QTest::newRow("billion laughs")
            << box("<skin/>",
                   "<!DOCTYPE Tolvar [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;"
                   "&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                   "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;"
                   "&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;"
                   "&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
                   "<Tolvar><base><name>&h;</name></base><target><url>/</url></target>"
                   "<script>x</script></Tolvar>");
    }
    void fileThatIsNoBox() {
        QFETCH(QByteArray, bytes);
        const QString bad = QStringLiteral("坏盒子.tvb");
        QVERIFY(writeBytes(folder_->file(bad), bytes));
        const auto expectMessage = [&] {
            const QList<platform::ShownDialog> shown = platform::shownDialogs();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text,
                     QStringLiteral("文件“坏盒子.tvb”不是可以打开的盒子, 没有打开它."));
            QCOMPARE(shown[0].title, QStringLiteral("提示"));
            platform::clearShownDialogs();
        };

        // Remembered from before: nothing is open, and nothing is chosen.
        remember(bad);
        const QByteArray rememberedConfig = readBytes(folder_->file("config.ini"));
        platform::clearShownDialogs();
        restart();
        expectMessage();
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0"));
        QCOMPARE(bodyHtml(), QStringLiteral("欢迎使用ZandrelV2.0"));
        QCOMPARE(control<QComboBox>("scriptListCombo")->currentIndex(), -1);
        QVERIFY(form_.currentBoxFile.isEmpty());
        QCOMPARE(readBytes(folder_->file("config.ini")), rememberedConfig);

        // Picked while another box is in use: that box stays in use and remembered.
        pick(QStringLiteral("match.tvb"));
        QVERIFY(platform::shownDialogs().isEmpty());
        const QString rememberedMatch = config();
        pick(bad);
        expectMessage();
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(命中盒)"));
        QCOMPARE(control<QComboBox>("scriptListCombo")->currentText(), QStringLiteral("match.tvb"));
        QCOMPARE(form_.currentBoxFile, QStringLiteral("match.tvb"));
        QCOMPARE(config(), rememberedMatch);
        QVERIFY(go(server_->url(QStringLiteral("/match/a.html"))));
        QCOMPARE(page(QStringLiteral("window.__boxRuns")).toInt(), 1);
        QCOMPARE(page(QStringLiteral("document.getElementById('zdSkin').className")).toString(),
                 QStringLiteral("k"));
        QFile::remove(folder_->file(bad));
    }

    // A box from a stranger that goes for the user's files: its home is a local file, its
    // targets match local pages, its code reads every file it can and sends what it got away.
    void hostileBoxReachesNoLocalFile() {
        LocalSecrets secrets;
        QVERIFY(secrets.isValid());
        BoxSpec spec{QStringLiteral("恶意盒"),
                     secrets.fileUrl(QStringLiteral("secret.txt")),
                     QStringLiteral("说明"),
                     {QStringLiteral("file://"), QStringLiteral("data:"),
                      QStringLiteral("view-source:"), QStringLiteral("/match/")}};
        spec.code = stealingScript(secrets.fileUrls(), server_->url(QStringLiteral("/sink"))) +
                    QStringLiteral(";window.__boxRuns=1;");
        writeBox(QStringLiteral("hostile.tvb"), spec);
        remember(QStringLiteral("hostile.tvb"));
        server_->clearRequests();
        restart();
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(恶意盒)"));
        // The home page is neither offered for the jump nor linked.
        QCOMPARE(control<QLineEdit>("urlText")->text(), QStringLiteral("http://"));
        QVERIFY(bodyHtml().contains(QStringLiteral("zd-card")));
        QVERIFY(
            page(QStringLiteral("document.querySelector('a[href^=\"file\"]') === null")).toBool());

        // Pages that are not from the web get nothing of the box, whatever its targets say.
        for (const QString& address :
             {secrets.fileUrl(QStringLiteral("secret.txt")),
              QStringLiteral("data:text/html,<html><head></head><body>d</body></html>"),
              QStringLiteral("view-source:") + server_->url(QStringLiteral("/other/d.html"))}) {
            QVERIFY2(go(address), qPrintable(address));
            QVERIFY2(page(QStringLiteral("window.__boxRuns === undefined")).toBool(),
                     qPrintable(address));
            QVERIFY(page(QStringLiteral("document.getElementById('zdSkin') === null")).toBool());
        }

        // On a web page that it matches, the box runs, and gets nothing. Its code opens a
        // window, which takes the place in use when it comes: the page is read in its own
        // element.
        const QString matching = server_->url(QStringLiteral("/match/a.html"));
        QVERIFY(go(matching));
        QPointer<WebBrowser> dressed;
        for (const int index : array()->indexes())
            if (array()->element(index)->LocationURL() == matching)
                dressed = array()->element(index);
        QVERIFY(dressed);
        const auto inDressed = [&dressed](const char* expression) {
            return dressed ? dressed->Document().evaluate(QString::fromLatin1(expression))
                           : QVariant();
        };
        QTRY_COMPARE(inDressed("window.__boxRuns").toInt(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(inDressed("window.__done === true").toBool(), 15000);
        QCOMPARE(inDressed("window.__stolen").toString(), QString());
        QTest::qWait(300);
        for (const int index : array()->indexes()) {
            const QString shown =
                array()
                    ->element(index)
                    ->Document()
                    .evaluate(QStringLiteral("document.documentElement.outerHTML"))
                    .toString();
            QVERIFY(!shown.contains(QString::fromLatin1(LocalSecrets::secret())));
        }
        QVERIFY(!serverGotSecret(*server_));
        QFile::remove(folder_->file("hostile.tvb"));
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
        QSignalSpy intro(&form_, &TolvarBoxForm::introPageShown);
        form_.show();
        QCOMPARE(form_.curBrowserIndex, qint16(0));
        QCOMPARE(commands_.size(), TolvarBoxForm::componentFiles().size());
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(命中盒)"));
        QVERIFY(intro.wait(15000));
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

    void opensCentred() {
        if (form_.isLoaded()) form_.close();
        form_.show();
        QWidget* window = form_.widget();
        const QRect area = window->screen()->availableGeometry();
        const QPoint centre = window->frameGeometry().center();
        // The window system may add its frame only once the window is on screen.
        const int slack = (window->frameGeometry().width() - window->width()) / 2 + 1;
        QVERIFY2(qAbs(centre.x() - area.center().x()) <= slack &&
                     qAbs(centre.y() - area.center().y()) <= slack,
                 qPrintable(QStringLiteral("centre %1,%2 in %3x%4")
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(area.width())
                                .arg(area.height())));
    }

    // The whole layout, step by step, at a few window sizes; steps that would give a
    // negative size are skipped and the others still run.
    void layout_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design") << QSize(platform::px(11445), platform::px(7635));
        QTest::newRow("large") << QSize(1200, 800);
        QTest::newRow("narrow and low") << QSize(200, 100);
        QTest::newRow("tiny") << QSize(10, 10);
    }
    void layout() {
        QFETCH(QSize, size);
        if (!form_.isLoaded()) restart();
        QWidget* window = form_.widget();
        // From the design places, so that every step shows what it does.
        window->resize(platform::px(11445), platform::px(7635));
        QCoreApplication::processEvents();
        // A skipped step leaves its control where the last layout put it.
        auto before = [this](const char* name) { return control<QWidget>(name)->geometry(); };
        const QRect designFrame = before("toolsFrame");
        const QRect designJump = before("urlCommand");
        const QRect designCombo = before("newWndCombo");
        const QRect designUrl = before("urlText");
        const QRect designBrowser = inUse()->geometry();
        const QRect designList = before("scriptListCombo");
        const QRect designListLabel = before("scriptListLabel");
        window->resize(size);
        QCoreApplication::processEvents();
        const int W = platform::twips(window->frameGeometry().width());
        const int H = platform::twips(window->frameGeometry().height());
        auto design = [](int left, int top, int width, int height) {
            return platform::twipsRect(left, top, width, height);
        };
        // What the layout never moves keeps its design place.
        QCOMPARE(designFrame.topLeft(), design(120, 0, 11175, 855).topLeft());
        QCOMPARE(designFrame.height(), design(120, 0, 11175, 855).height());
        QCOMPARE(designJump.size(), design(10560, 960, 735, 255).size());
        QCOMPARE(designJump.top(), design(10560, 960, 735, 255).top());
        // The new-window list is as wide as designed, or wider where its items need it.
        QVERIFY(designCombo.width() >= design(9240, 960, 1215, 300).width());
        QVERIFY(designCombo.width() >= control<QComboBox>("newWndCombo")
                                           ->fontMetrics()
                                           .horizontalAdvance(livePage::lockNewWindowText()));
        QCOMPARE(designCombo.height(), design(9240, 960, 1215, 300).height());
        QCOMPARE(designCombo.top(), design(9240, 960, 1215, 300).top());
        QCOMPARE(designUrl.topLeft(), design(960, 960, 8175, 270).topLeft());
        QCOMPARE(designUrl.height(), design(960, 960, 8175, 270).height());
        QCOMPARE(designBrowser.topLeft(), design(120, 1320, 11175, 6255).topLeft());
        QCOMPARE(designList.size(), design(9000, 320, 1935, 300).size());
        QCOMPARE(designList.top(), design(9000, 320, 1935, 300).top());
        QCOMPARE(designListLabel.size(), design(8040, 360, 855, 255).size());
        QCOMPARE(designListLabel.top(), design(8040, 360, 855, 255).top());
        auto tw = [](int pixels) { return platform::twips(pixels); };
        auto px = [](int twips) { return platform::px(twips); };

        // 1. toolsFrame.Width = W - 300
        QRect frame = designFrame;
        if (W - 300 >= 0) frame.setWidth(px(W - 300));
        // 2. urlCommand.Left = W - urlCommand.Width - 200
        QRect jump = designJump;
        jump.moveLeft(px(W - tw(jump.width()) - 200));
        // 3. newWndCombo.Left = urlCommand.Left - newWndCombo.Width - 100
        QRect combo = designCombo;
        combo.moveLeft(px(tw(jump.x()) - tw(combo.width()) - 100));
        // 4. urlText.Width = newWndCombo.Left - urlText.Left - 100
        QRect url = designUrl;
        const int urlWidth = tw(combo.x()) - tw(url.x()) - 100;
        if (urlWidth >= 0) url.setWidth(px(urlWidth));
        // 5. and 6. the browser in use: the frame's width, down to 600 twips above the bottom
        QRect browser = designBrowser;
        browser.setWidth(frame.width());
        const int browserHeight = H - tw(browser.y()) - 600;
        if (browserHeight >= 0) browser.setHeight(px(browserHeight));
        // 7. scriptListCombo.Left = toolsFrame.Left + toolsFrame.Width - its Width - 400
        QRect list = designList;
        list.moveLeft(px(tw(frame.x()) + tw(frame.width()) - tw(list.width()) - 400));
        // 8. scriptListLabel.Left = scriptListCombo.Left - 1000
        QRect listLabel = designListLabel;
        listLabel.moveLeft(px(tw(list.x()) - 1000));

        const std::pair<const char*, QRect> expected[] = {
            {"toolsFrame", frame},
            {"urlCommand", jump},
            {"newWndCombo", combo},
            {"urlText", url},
            {"scriptListCombo", list},
            {"scriptListLabel", listLabel},
            {"urlLabel", design(120, 960, 735, 255)},
        };
        auto described = [](const char* name, const QRect& r) {
            return QStringLiteral("%1 %2,%3 %4x%5")
                .arg(QString::fromLatin1(name))
                .arg(r.x())
                .arg(r.y())
                .arg(r.width())
                .arg(r.height());
        };
        for (const auto& [name, rect] : expected)
            QCOMPARE(described(name, control<QWidget>(name)->geometry()), described(name, rect));
        QCOMPARE(inUse()->geometry(), browser);
        for (int index = 0; index < 6; ++index)
            QCOMPARE(form_.control<QWidget>(QStringLiteral("toolBtn_%1").arg(index))->geometry(),
                     design(120 + 720 * index, 150, 615, 615));
        QVERIFY(form_.isLoaded());
        QVERIFY(platform::shownDialogs().isEmpty());
        window->resize(platform::px(11445), platform::px(7635));
    }

    // A name GBK cannot write is remembered as question marks and not found again: a limit of
    // the stored format, which stays as it is.
    void boxNameGbkCannotWrite() {
        writeBox(QStringLiteral("한글.tvb"),
                 {QStringLiteral("韩文盒"), QString(), QString(), {QStringLiteral("/match/")}});
        remember(kSampleBox);
        restart();
        auto* list = control<QComboBox>("scriptListCombo");
        const int index = list->findText(QStringLiteral("한글.tvb"));
        QVERIFY(index >= 0);
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0(韩文盒)"));
        QVERIFY(config().contains(BASE64BoxModule::boxBase64Encode(QStringLiteral("??.tvb"))));
        restart();
        QFile::remove(folder_->file(QStringLiteral("한글.tvb")));
        QCOMPARE(caption(), QStringLiteral("ZandrelV2.0"));
    }

    // The program goes on while its window waits in the tray, whatever other window closes;
    // it ends when the player's own window closes. Real closes, in the program's event loop.
    void trayKeepsTheProgramWhenAnotherWindowCloses() {
        playerProgram::prepare();
        if (!form_.isLoaded()) restart();
        form_.trayAvailable = [] { return true; };
        QWidget* window = form_.widget();
        int step = 0;
        QString failure;
        auto check = [&](bool condition, const char* what) {
            if (!condition && failure.isEmpty()) failure = QString::fromLatin1(what);
            return condition;
        };
        // Every step belongs to this object, so none outlives the test.
        QObject steps;
        QTimer::singleShot(0, &steps, [&] {
            step = 1;
            window->showMinimized();
            QTimer::singleShot(200, &steps, [&] {
                step = 2;
                if (!check(form_.tray().inTray() && !window->isVisible(), "not in the tray"))
                    return QCoreApplication::exit(3);
                form_.control<QToolButton>(QStringLiteral("toolBtn_5"))->click();
                QTimer::singleShot(100, &steps, [&] {
                    step = 3;
                    QWidget* search = SearchWndForm::instance().widget();
                    if (!check(search && search->isVisible(), "no search window"))
                        return QCoreApplication::exit(3);
                    search->close();
                    QTimer::singleShot(300, &steps, [&] {
                        step = 4;
                        check(form_.isLoaded() && form_.tray().inTray(), "player gone");
                        form_.tray().simulateRestore();
                        QTimer::singleShot(100, &steps, [&] {
                            step = 5;
                            check(form_.widget() && form_.widget()->isVisible(), "not restored");
                            form_.widget()->close();
                        });
                    });
                });
            });
        });
        QTimer::singleShot(30000, &steps, [] { QCoreApplication::exit(2); });
        const int code = QCoreApplication::exec();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(step, 5);
        QCOMPARE(code, 0);
        QVERIFY(!form_.isLoaded());
        form_.showSearchWindow = [this] { ++searches_; };
    }
};

SUITE_TEST_MAIN(TolvarBoxFormTest)
#include "tst_tolvarboxform.moc"
