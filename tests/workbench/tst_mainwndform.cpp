#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <QTimer>
#include <cmath>
#include <memory>

#include "library/md5.h"
#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/xmldocument.h"
#include "platform/core/ansi.h"
#include "platform/core/clock.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/updatewndform.h"

namespace {

const QDateTime kNow(QDate(2026, 12, 10), QTime(8, 3, 56));
const QString kSampleCategory = QStringLiteral("常用工具");
const QString kSampleScript = QStringLiteral("页面标题");

// The maker's web site: the forum host and the main host are two servers, and every request
// of the start-up is noted in one list so that their order shows.
struct MakerSite {
    TestServer forum;
    TestServer main;
    QStringList order;
    QByteArray pluginReply = "a=http://x/a.js\r\nb=http://x/b.js\r\n";
    QByteArray versionReply = "3.0\r\nhttp://d/v.zip\r\n";
    int delayMs = 0;
    int versionDelayMs = -1;  // the version file's own delay, when set
    std::function<void(const QString&)> onRequest;

    MakerSite() {
        forum.route("/plugin.txt",
                    [this](const TestServer::Request&) { return reply("plugins", pluginReply); });
        main.route("/Velmora/download/TolvarVersion.txt",
                   [this](const TestServer::Request&) { return reply("version", versionReply); });
    }
    TestServer::Response reply(const QString& what, const QByteArray& body) {
        order << what;
        if (onRequest) onRequest(what);
        TestServer::Response r;
        r.contentType = "text/plain";
        r.body = body;
        r.delayMs = what == "version" && versionDelayMs >= 0 ? versionDelayMs : delayMs;
        return r;
    }
};

QByteArray pngBytes(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Writes a script file with the library's own writer.
void saveScript(const QString& path, const QString& name, const QString& icon = QString()) {
    static XmlDocument board;
    board.loadXML("<list style=\"default\"><line/></list>");
    ScriptModule::clearScriptDocument();
    ScriptDocument& d = ScriptModule::scriptDocument();
    d.name = name;
    d.author = "作者" + name;
    d.information = "介绍" + name;
    d.icon = icon;
    d.script = "function f() {}";
    d.list = board.documentElement();
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(ScriptModule::saveScriptFile(path));
    ScriptModule::clearScriptDocument();
}

QStringList listTexts(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList tabTexts(QTabBar* tabs) {
    QStringList out;
    for (int i = 0; i < tabs->count(); ++i) out << tabs->tabText(i);
    return out;
}

QStringList sorted(QStringList l) {
    l.sort();
    return l;
}

// A time of day whose MD5 begins with a digit (or with a letter).
QTime timeWithMd5(bool digitFirst) {
    for (QTime t(8, 0, 0); t < QTime(9, 0, 0); t = t.addSecs(1)) {
        const QString d = MD5Module::md5Hex(platform::timeText(QDateTime(kNow.date(), t)));
        if (d.at(0).isDigit() == digitFirst) return t;
    }
    return {};
}

}  // namespace

class MainWndFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgramFolder> folder_;
    std::unique_ptr<MakerSite> site_;

    MainWndForm& form() { return MainWndForm::instance(); }
    QTabBar* tabs() { return form().control<QTabBar>("TabFile"); }
    QListWidget* list() { return form().control<QListWidget>("ListFile"); }
    QPushButton* tool(int index) {
        return form().control<QPushButton>(QString("toolsCmd_%1").arg(index));
    }
    QString scriptDir() { return folder_->file("script"); }

    void writeConfig(const QString& body) {
        writeBytes(folder_->file("config.ini"), platform::toAnsi(body));
    }
    void writeSite(const QString& forum, const QString& main, const QString& extra = QString()) {
        writeBytes(folder_->file("site.ini"),
                   platform::toAnsi("[site]\r\nforumHost=" + forum + "\r\nmainHost=" + main +
                                    "\r\n" + extra));
    }
    void start() {
        form().show();
        QVERIFY(form().widget() && form().widget()->isVisible());
    }
    bool selectTab(const QString& caption) {
        for (int i = 0; i < tabs()->count(); ++i)
            if (tabs()->tabText(i) == caption) {
                tabs()->setCurrentIndex(i);
                return true;
            }
        return false;
    }
    void clickEntry(const QString& text) {
        const auto found = list()->findItems(text, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        const QRect r = list()->visualItemRect(found.first());
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, r.center());
    }
    QList<platform::ShownDialog> dialogs() { return platform::shownDialogs(); }

  private Q_SLOTS:
    void initTestCase() { form().setQuitOnClose(false); }

    void init() {
        platform::setClockForTest(kNow);
        platform::resetRandomForTest();
        platform::clearShownDialogs();
        ScriptModule::resetPluginCollectionForTest();
        ScriptModule::clearScriptDocument();
        ScriptModule::scriptDocument().currentScriptPath.clear();
        form().windows = MainWndForm::ToolWindows();
        folder_ = std::make_unique<TestProgramFolder>("velmora");
        site_ = std::make_unique<MakerSite>();
        writeSite(site_->forum.base(), site_->main.base());
    }

    void cleanup() {
        form().close();
        UpdateWndForm::instance().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        site_.reset();
        folder_.reset();
        platform::setClockForTest(QDateTime());
    }

    // ---- conversions of the settings ----

    void numberTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");  // hideDivNameLen
        QTest::addColumn<int>("flag");    // flag
        QTest::newRow("empty") << "" << 1 << 1;
        QTest::newRow("zero") << "0" << 1 << 0;
        QTest::newRow("one") << "1" << 1 << 1;
        QTest::newRow("negative") << "-1" << 1 << -1;
        QTest::newRow("eight") << "8" << 8 << 8;
        QTest::newRow("digits then letters") << "8abc" << 8 << 1;
        QTest::newRow("letters") << "abc" << 1 << 1;
        QTest::newRow("blanks") << " 12 " << 12 << 12;
        QTest::newRow("half to even down") << "2.5" << 2 << 2;
        QTest::newRow("half to even up") << "3.5" << 4 << 4;
        QTest::newRow("fraction") << "0.4" << 1 << 0;
        QTest::newRow("exponent") << "1e1" << 10 << 10;
        QTest::newRow("just above range") << "33" << 32 << 33;
        QTest::newRow("fifty") << "50" << 32 << 50;
        QTest::newRow("huge") << "1e400" << 32 << 1;
        QTest::newRow("beyond 16 bits") << "70000" << 32 << 1;
        QTest::newRow("16-bit low end") << "-32768" << 1 << -32768;
        QTest::newRow("point only") << "." << 1 << 1;
        QTest::newRow("leading point") << ".6" << 1 << 1;
        QTest::newRow("plus sign") << "+3" << 3 << 3;
    }
    void numberTexts() {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(int, flag);
        QCOMPARE(MainWndNumbers::hideDivNameLength(text), length);
        QCOMPARE(int(MainWndNumbers::updateFlag(text)), flag);
    }

    void roundingAndRange() {
        QCOMPARE(MainWndNumbers::roundHalfEven(-2.5), -2.0);
        QCOMPARE(MainWndNumbers::roundHalfEven(-3.5), -4.0);
        QCOMPARE(MainWndNumbers::roundHalfEven(0.5), 0.0);
        QCOMPARE(MainWndNumbers::toInt16(32767.4), std::optional<qint16>(32767));
        QCOMPARE(MainWndNumbers::toInt16(32767.5), std::optional<qint16>());
        QCOMPARE(MainWndNumbers::toInt16(-32768.5), std::optional<qint16>(-32768));
        QCOMPARE(MainWndNumbers::leadingNumber("7.5kg"), 7.5);
        QCOMPARE(MainWndNumbers::leadingNumber("1e"), 1.0);
        QCOMPARE(MainWndNumbers::wholeNumber("1e"), std::optional<double>());
    }

    // ---- start-up ----

    void randomElementId_data() {
        QTest::addColumn<QString>("line");  // the hideDivNameLen line, empty for none
        QTest::addColumn<bool>("digitFirst");
        QTest::addColumn<int>("length");
        const QList<QPair<QString, int>> values = {{"", 1},
                                                   {"hideDivNameLen=0", 1},
                                                   {"hideDivNameLen=-4", 1},
                                                   {"hideDivNameLen=50", 32},
                                                   {"hideDivNameLen=8xyz", 8},
                                                   {"hideDivNameLen=32", 32},
                                                   {"hideDivNameLen=2.5", 2},
                                                   {"hideDivNameLen=abc", 1}};
        for (const auto& [line, length] : values)
            for (bool digit : {true, false})
                QTest::addRow("%s, md5 %s", line.isEmpty() ? "no key" : qPrintable(line),
                              digit ? "digit" : "letter")
                    << line << digit << length;
    }
    void randomElementId() {
        QFETCH(QString, line);
        QFETCH(bool, digitFirst);
        QFETCH(int, length);
        const QTime time = timeWithMd5(digitFirst);
        QVERIFY(time.isValid());
        platform::setClockForTest(QDateTime(kNow.date(), time));
        writeConfig("[tolvar]\r\n" + (line.isEmpty() ? QString() : line + "\r\n") + "flag=1\r\n");
        platform::resetRandomForTest();
        const QChar letter(101 + int(std::floor(platform::rnd() * 7)));
        platform::resetRandomForTest();
        start();

        const QString id = form().rndFlagStr;
        const QString d = MD5Module::md5Hex(platform::timeText());
        QCOMPARE(id.size(), length);
        if (digitFirst)
            QCOMPARE(id, letter + d.right(length - 1));
        else
            QCOMPARE(id, d.left(length));
        QVERIFY(QString("ABCDEFefghijk").contains(id.at(0)));
        for (QChar c : id.mid(1)) QVERIFY(QString("0123456789ABCDEF").contains(c));
    }

    void startUpOrderAndResults() {
        writeConfig("[tolvar]\r\nhideDivNameLen=8\r\nversion=3.0\r\nflag=0\r\n");
        // The plug-in list answers first; its effect still comes last.
        site_->versionDelayMs = 300;
        bool mainShownAtUpdate = true;
        int listAtUpdate = -1;
        bool pluginsAtUpdate = true;
        QMetaObject::Connection c =
            connect(&UpdateWndForm::instance(), &platform::Form::loaded, this, [&] {
                mainShownAtUpdate = form().widget() && form().widget()->isVisible();
                listAtUpdate = list() ? list()->count() : -1;
                pluginsAtUpdate = ScriptModule::pluginCollectionExists();
            });
        bool pluginsAtLibrary = true;
        QMetaObject::Connection l;
        site_->onRequest = [&](const QString&) {
            if (l || !list()) return;
            l = connect(list()->model(), &QAbstractItemModel::rowsInserted, this,
                        [&] { pluginsAtLibrary = ScriptModule::pluginCollectionExists(); });
        };
        start();
        disconnect(c);
        disconnect(l);

        QCOMPARE(QSet<QString>(site_->order.begin(), site_->order.end()),
                 QSet<QString>({"version", "plugins"}));
        QCOMPARE(site_->main.requests().first().query, QByteArray("d=2026/12/10"));
        QCOMPARE(site_->forum.requests().first().query, QByteArray("d=2026/12/10"));
        // The version check takes effect first, then the library is filled, then the plug-in
        // list comes in.
        QCOMPARE(listAtUpdate, 0);
        QVERIFY(!pluginsAtUpdate);
        QVERIFY(!pluginsAtLibrary);
        // The update window shows before the main window.
        QVERIFY(!mainShownAtUpdate);
        QVERIFY(UpdateWndForm::instance().widget()->isVisible());

        QCOMPARE(form().version, QString("3.0"));
        QCOMPARE(int(form().checkUpdate), 0);
        QCOMPARE(form().rndFlagStr.size(), 8);
        QCOMPARE(ScriptModule::pluginCollection(),
                 QStringList({"a=http://x/a.js", "b=http://x/b.js", ""}));
        QCOMPARE(tabTexts(tabs()), QStringList{kSampleCategory});
        QCOMPARE(listTexts(list()), QStringList{kSampleScript});

        // The forum page loads in the hidden small browser, with the date and time appended.
        auto* totalWB = form().control<platform::WebBrowser>("totalWB");
        QVERIFY(totalWB && !totalWB->Visible());
        QCOMPARE(totalWB->size(), QSize(25, 25));
        auto forumPage = [this] {
            for (const auto& r : site_->forum.requests())
                if (r.path.startsWith("/bbs/")) return r.path;
            return QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(!forumPage().isEmpty(), 20000);
        QCOMPARE(forumPage(), QByteArray("/bbs/2026/12/10%208:03:56"));
    }

    void updateWindowAtStartUp_data() {
        QTest::addColumn<QString>("flagLine");
        QTest::addColumn<QByteArray>("versionReply");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("downloadEnabled");
        QTest::newRow("flag 0, same version")
            << "flag=0" << QByteArray("3.0\r\nu\r\n") << true << false;
        QTest::newRow("flag 0, newer version")
            << "flag=0" << QByteArray("3.1\r\nu\r\n") << true << true;
        QTest::newRow("flag 0.4 rounds to 0")
            << "flag=0.4" << QByteArray("3.1\r\nu") << true << true;
        QTest::newRow("flag 0, one-line reply") << "flag=0" << QByteArray("3.1") << false << false;
        QTest::newRow("flag 1") << "flag=1" << QByteArray("3.1\r\nu") << false << false;
        QTest::newRow("flag 2") << "flag=2" << QByteArray("3.1\r\nu") << false << false;
        QTest::newRow("flag -1") << "flag=-1" << QByteArray("3.1\r\nu") << false << false;
        QTest::newRow("no flag") << "" << QByteArray("3.1\r\nu") << false << false;
        QTest::newRow("flag not a number")
            << "flag=yes" << QByteArray("3.1\r\nu") << false << false;
    }
    void updateWindowAtStartUp() {
        QFETCH(QString, flagLine);
        QFETCH(QByteArray, versionReply);
        QFETCH(bool, shown);
        QFETCH(bool, downloadEnabled);
        site_->versionReply = versionReply;
        writeConfig("[tolvar]\r\nversion=3.0\r\n" + flagLine + "\r\n");
        start();
        const bool checked = flagLine == "flag=0" || flagLine == "flag=0.4";
        QCOMPARE(site_->order.contains("version"), checked);
        QCOMPARE(UpdateWndForm::instance().isLoaded(), shown);
        QVERIFY(dialogs().isEmpty());  // a failed check at start-up stays quiet
        if (!shown) return;
        QVERIFY(UpdateWndForm::instance().widget()->isVisible());
        QCOMPARE(UpdateWndForm::instance().control<QPushButton>("downloadCommand")->isEnabled(),
                 downloadEnabled);
        // Its timer brings it back while it is loaded.
        UpdateWndForm::instance().hide();
        QTRY_VERIFY_WITH_TIMEOUT(UpdateWndForm::instance().widget()->isVisible(), 2500);
    }

    void firstStartWithoutConfig() {
        QFile::remove(folder_->file("config.ini"));
        start();
        QCOMPARE(form().rndFlagStr.size(), 1);
        QCOMPARE(form().version, QString());
        QCOMPARE(int(form().checkUpdate), 1);
        QVERIFY(!site_->order.contains("version"));
        QVERIFY(QFile::exists(folder_->file("config.ini")));
    }

    void deadOrSlowSiteDoesNotHoldTheWindow_data() {
        QTest::addColumn<bool>("slow");
        QTest::newRow("unreachable") << false;
        QTest::newRow("slow") << true;
    }
    void deadOrSlowSiteDoesNotHoldTheWindow() {
        QFETCH(bool, slow);
        writeConfig("[tolvar]\r\nversion=3.0\r\nflag=0\r\n");
        if (slow) {
            site_->delayMs = 6000;
            writeSite(site_->forum.base(), site_->main.base(), "requestTimeoutMs=700\r\n");
        } else {
            writeSite("http://127.0.0.1:9", "http://127.0.0.1:9", "requestTimeoutMs=700\r\n");
        }
        QElapsedTimer t;
        t.start();
        start();
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!UpdateWndForm::instance().isLoaded());
        QVERIFY(ScriptModule::pluginCollectionExists());
        QVERIFY(ScriptModule::pluginCollection().isEmpty());
        QCOMPARE(listTexts(list()), QStringList{kSampleScript});
    }

    // The requests of the start-up are under way together: a version file that never comes
    // does not keep the plug-in list from coming, and the window waits one limit at most.
    void versionFileThatNeverComesKeepsThePluginList() {
        writeConfig("[tolvar]\r\nversion=3.0\r\nflag=0\r\n");
        site_->versionDelayMs = 60000;
        writeSite(site_->forum.base(), site_->main.base(), "requestTimeoutMs=1500\r\n");
        start();
        QVERIFY(!UpdateWndForm::instance().isLoaded());
        QCOMPARE(ScriptModule::pluginCollection(),
                 QStringList({"a=http://x/a.js", "b=http://x/b.js", ""}));
        QCOMPARE(listTexts(list()), QStringList{kSampleScript});
    }

    // ---- the window ----

    void controlsAsDesigned() {
        start();
        QWidget* w = form().widget();
        QCOMPARE(w->windowTitle(), QString("VelmoraV3.0"));
        const QStringList captions = {"新 建", "修 改", "删 除", "录 制", "搜 索",
                                      "分 享", "设 置", "升 级", "关 于", "打 包"};
        const QList<int> positionOfIndex = {0, 1, 2, 3, 4, 5, 7, 8, 9, 6};
        for (int i = 0; i < 10; ++i) {
            QPushButton* b = tool(i);
            QVERIFY(b);
            QCOMPARE(b->text(), captions[i]);
            QCOMPARE(b->property("index").toInt(), i);
            QCOMPARE(b->geometry(),
                     platform::twipsRect(2040 + 840 * positionOfIndex[i], 120, 735, 975));
            QCOMPARE(b->icon().availableSizes().value(0), QSize(48, 48));
        }
        QCOMPARE(tabs()->geometry().topLeft(), QPoint(0, platform::px(1320)));
        QCOMPARE(list()->geometry().topLeft(), QPoint(0, platform::px(1680)));
        QCOMPARE(list()->selectionMode(), QAbstractItemView::ExtendedSelection);
        auto* frame = form().control<QGroupBox>("AttributeFrame");
        QCOMPARE(frame->title(), QString("属性"));
        QCOMPARE(frame->width(), platform::px(2655));
        QCOMPARE(form().control<QLabel>("scriptNameLabel")->text(), QString("名称:"));
        QCOMPARE(form().control<QLabel>("scriptAuthorLabel")->text(), QString("作者:"));
        QCOMPARE(form().control<QLabel>("scriptInfoLabel")->text(), QString("介绍:"));
        QCOMPARE(form().control<QPlainTextEdit>("scriptInfoText")->size(),
                 QSize(platform::px(2175), platform::px(1455)));
        QCOMPARE(form().control<QLabel>("scriptPicture")->size(),
                 QSize(platform::px(1095), platform::px(1095)));
        auto* menu = form().control<QMenu>("folderMenu");
        QCOMPARE(menu->title(), QString("文件夹选项"));
        QStringList items;
        for (QAction* a : menu->actions()) items << a->objectName() + ":" + a->text();
        QCOMPARE(items, QStringList({"newFolderActive:新建目录", "editFolderActive:修改目录",
                                     "delFolderActive:删除目录"}));
    }

    // The minimum and the layout are in the window's outer size, frame included.
    void layoutKeepsItsMinimum() {
        start();
        QWidget* w = form().widget();
        w->resize(300, 200);
        QCoreApplication::processEvents();
        QVERIFY(platform::twips(w->frameGeometry().width()) >= 10530);
        QVERIFY(platform::twips(w->frameGeometry().height()) >= 8115);

        w->resize(900, 700);
        QCoreApplication::processEvents();
        QCOMPARE(w->size(), QSize(900, 700));
        const int W = platform::twips(w->frameGeometry().width());
        const int H = platform::twips(w->frameGeometry().height());
        const int tabHeight = H - 1320 - 500;
        QCOMPARE(tabs()->geometry(), platform::twipsRect(0, 1320, W, tabHeight));
        QCOMPARE(form().control<QGroupBox>("AttributeFrame")->geometry(),
                 platform::twipsRect(W - 2655 - 250, 1680, 2655, tabHeight - 500));
        QCOMPARE(list()->geometry(), platform::twipsRect(0, 1680, W - 2655 - 300, tabHeight - 500));
    }

    void listFillingRules() {
        const QString cat = scriptDir() + "/规则";
        QDir().mkpath(cat + "/old.txt");  // a sub-folder is no script
        for (const char* name : {"a.txt.txt", "A.TXT", "notes.txt.bak", "plain.doc", "b.txt",
                                 "PAGEFILE.SYS.txt", "pagefile.sys"})
            writeBytes(cat + "/" + QString::fromUtf8(name), "x");
        QDir().mkpath(scriptDir() + "/空分类");
        QDir().mkpath(scriptDir() + "/PageFile.Sys");  // never a tab
        writeBytes(scriptDir() + "/loose.txt", "x");   // files beside the categories: no tab
        start();
        QCOMPARE(sorted(tabTexts(tabs())), sorted({kSampleCategory, "规则", "空分类"}));
        QCOMPARE(tabs()->currentIndex(), 0);
        QVERIFY(selectTab("规则"));
        // A script is a file that ends with ".txt": "notes.txt.bak" is none.
        QCOMPARE(sorted(listTexts(list())), sorted({"a", "b", "PAGEFILE.SYS"}));
        QVERIFY(selectTab("空分类"));
        QCOMPARE(list()->count(), 0);
    }

    void openingScripts() {
        TestServer pictures;
        pictures.page("/icon.png", pngBytes(6, 4), "image/png");
        const QString cat = scriptDir() + "/" + kSampleCategory;
        saveScript(cat + "/withIcon.txt", "甲", pictures.url("/icon.png"));
        saveScript(cat + "/noIcon.txt", "乙");
        start();
        auto* picture = form().control<QLabel>("scriptPicture");
        auto* name = form().control<QLineEdit>("scriptNameText");
        auto* author = form().control<QLineEdit>("scriptAuthorText");
        auto* info = form().control<QPlainTextEdit>("scriptInfoText");

        clickEntry(kSampleScript);
        QCOMPARE(name->text(), kSampleScript);
        QCOMPARE(author->text(), QString("Velmora"));
        QVERIFY(info->toPlainText().startsWith("示例脚本"));
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath,
                 cat + "/" + kSampleScript + ".txt");

        clickEntry("withIcon");
        QCOMPARE(name->text(), QString("甲"));
        QCOMPARE(author->text(), QString("作者甲"));
        QCOMPARE(info->toPlainText(), QString("介绍甲"));
        QCOMPARE(picture->pixmap().size(), QSize(6, 4));
        QVERIFY(!QFile::exists(folder_->file("tmppp")));

        // Without an icon the picture shown stays.
        clickEntry("noIcon");
        QCOMPARE(name->text(), QString("乙"));
        QCOMPARE(picture->pixmap().size(), QSize(6, 4));

        // A click on the entry already current opens the file again; moving by the keyboard
        // opens too. Making an entry current from code chooses nothing.
        clickEntry("noIcon");
        saveScript(cat + "/noIcon.txt", "丙");
        clickEntry("noIcon");
        QCOMPARE(name->text(), QString("丙"));
        const QHash<QString, QString> names = {
            {kSampleScript, kSampleScript}, {"withIcon", "甲"}, {"noIcon", "丙"}};
        QTest::keyClick(list(), Qt::Key_Home);
        QCOMPARE(name->text(), names.value(list()->item(0)->text()));
        QTest::keyClick(list(), Qt::Key_End);
        QCOMPARE(name->text(), names.value(list()->item(list()->count() - 1)->text()));
        const QString shown = name->text();
        list()->setCurrentRow(0);
        QCOMPARE(name->text(), shown);
        // Selecting every entry (for 删 除) opens none of them.
        list()->clearSelection();
        list()->setCurrentItem(list()->item(1), QItemSelectionModel::NoUpdate);
        QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list()->selectedItems().size(), list()->count());
        QCOMPARE(name->text(), shown);
    }

    // A listed script whose file has gone, cannot be read or holds no script opens nothing:
    // the user is told which, the list is reloaded, and 修 改 then offers a new script that
    // cannot be saved over the file.
    void scriptThatDoesNotLoadOpensNothing_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("listed");  // after the reload
        QTest::newRow("deleted") << "delete"
                                 << "脚本“坏”的文件已不存在,可能已被移走或删除。" << false;
        QTest::newRow("unreadable") << "huge"
                                    << "脚本“坏”的文件无法读取,未能打开。" << true;
        QTest::newRow("no script") << "garbage"
                                   << "脚本“坏”的文件不是有效的脚本文件,未能打开。" << true;
    }
    void scriptThatDoesNotLoadOpensNothing() {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QFETCH(bool, listed);
        const QString file = scriptDir() + "/" + kSampleCategory + "/坏.txt";
        saveScript(file, "坏");
        start();
        clickEntry(kSampleScript);
        if (damage == "delete") {
            QVERIFY(QFile::remove(file));
        } else if (damage == "huge") {
            QFile grow(file);
            QVERIFY(grow.open(QIODevice::ReadWrite));
            QVERIFY(grow.resize(qint64(256) * 1024 * 1024 + 1));
        } else {
            writeBytes(file, "not a script at all\r\n");
        }
        const QByteArray damaged = damage == "huge" ? QByteArray() : readBytes(file);
        QStringList opened;
        form().windows.showScriptWindow = [&] {
            const ScriptDocument& d = ScriptModule::scriptDocument();
            opened << d.name + "|" + d.currentScriptPath;
        };

        clickEntry("坏");
        QCOMPARE(dialogs().size(), 1);
        QCOMPARE(dialogs()[0].text, message);
        QCOMPARE(dialogs()[0].title, QString("提示"));
        QCOMPARE(listTexts(list()).contains("坏"), listed);
        QVERIFY(list()->selectedItems().isEmpty());
        QCOMPARE(form().control<QLineEdit>("scriptNameText")->text(), QString());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());
        QTest::mouseClick(tool(1), Qt::LeftButton);  // 修 改
        QCOMPARE(opened, QStringList{"|"});
        if (damage != "huge") QCOMPARE(readBytes(file), damaged);
    }

    // The icon of a script comes from a slow server: a second pick while it is on its way
    // wins, the late icon is not shown for it. The second pick runs inside the first one's
    // wait, as a click of the user's then does.
    void lastPickWinsTheIcon_data() {
        QTest::addColumn<bool>("secondHasIcon");
        QTest::newRow("second with its own icon") << true;
        QTest::newRow("second without icon") << false;
    }
    void lastPickWinsTheIcon() {
        QFETCH(bool, secondHasIcon);
        TestServer pictures;
        pictures.route("/slow.png", [](const TestServer::Request&) {
            TestServer::Response r;
            r.contentType = "image/png";
            r.body = pngBytes(9, 9);
            r.delayMs = 600;
            return r;
        });
        const QString cat = scriptDir() + "/" + kSampleCategory;
        writeBytes(folder_->file("second.png"), pngBytes(3, 5));
        saveScript(cat + "/甲.txt", "甲", pictures.url("/slow.png"));
        saveScript(cat + "/乙.txt", "乙", secondHasIcon ? folder_->file("second.png") : QString());
        start();
        auto* picture = form().control<QLabel>("scriptPicture");
        auto* name = form().control<QLineEdit>("scriptNameText");
        bool pickedInside = false;
        QTimer::singleShot(150, this, [&] {
            pickedInside = true;
            clickEntry("乙");
        });
        clickEntry("甲");  // returns when the first pick's wait is over
        QVERIFY(pickedInside);
        QTest::qWait(100);
        QCOMPARE(name->text(), QString("乙"));
        QCOMPARE(ScriptModule::scriptDocument().name, QString("乙"));
        if (secondHasIcon)
            QCOMPARE(picture->pixmap().size(), QSize(3, 5));
        else
            QVERIFY(picture->pixmap().isNull());
        QVERIFY(!QFile::exists(folder_->file("tmppp")));
    }

    // Switching to a category where nothing is picked shows no properties, and 删 除 there
    // asks nothing.
    void propertiesFollowThePick() {
        QDir().mkpath(scriptDir() + "/空分类");
        start();
        int empty = -1, sample = -1;
        for (int i = 0; i < tabs()->count(); ++i)
            (tabs()->tabText(i) == "空分类" ? empty : sample) = i;
        auto clickTab = [&](int index) {
            QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(index).center());
        };
        clickTab(sample);
        clickEntry(kSampleScript);
        auto* name = form().control<QLineEdit>("scriptNameText");
        QCOMPARE(name->text(), kSampleScript);
        clickTab(empty);
        QCOMPARE(list()->count(), 0);
        QCOMPARE(name->text(), QString());
        QCOMPARE(form().control<QLineEdit>("scriptAuthorText")->text(), QString());
        QVERIFY(form().control<QPlainTextEdit>("scriptInfoText")->toPlainText().isEmpty());
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        QTest::mouseClick(tool(2), Qt::LeftButton);
        QCOMPARE(dialogs().size(), 1);
        QCOMPARE(dialogs()[0].text, QString("请选择要删除的脚本"));
        // Back in the first category the script picked there is picked still.
        clickTab(sample);
        QCOMPARE(name->text(), kSampleScript);
    }

    // What saves cut short left behind goes at the next start, wherever the workbench writes;
    // a save under way is left alone, and no list takes either for a script.
    void staleSavesGoAtStart() {
        const QString cat = scriptDir() + "/" + kSampleCategory;
        QDir().mkpath(folder_->file("box"));
        const QStringList stale = {cat + "/.tolvar-save-Ab12Cd", cat + "/.页面标题.txt.Xy12Zw",
                                   folder_->file(".config.ini.a1B2c3"),
                                   folder_->file("box/.Tolvar脚本3.tvb.QQQQQQ"),
                                   scriptDir() + "/.tolvar-save-zzzzzz"};
        const QString fresh = cat + "/.tolvar-save-Fresh1";
        const QString earlierFresh = cat + "/.b.txt.Fresh2";
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        for (const QString& path : stale + QStringList{fresh, earlierFresh}) {
            QVERIFY(writeBytes(path, "half a save"));
            if (path == fresh || path == earlierFresh) continue;
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        start();
        for (const QString& path : stale) QVERIFY2(!QFile::exists(path), qPrintable(path));
        QVERIFY(QFile::exists(fresh));
        QVERIFY(QFile::exists(earlierFresh));
        QCOMPARE(listTexts(list()), QStringList{kSampleScript});
    }

    // A script opens only when the user picks an entry: by a click or from the keyboard. The
    // list gaining the focus (by Tab, or with its window activated again) and the list's
    // reload after a tool button choose nothing, so the fields, 分 享 and 打 包 keep acting
    // on the script the user chose.
    void scriptsOpenOnlyWhenTheUserPicks() {
        const QString cat = scriptDir() + "/" + kSampleCategory;
        saveScript(cat + "/第二.txt", "第二");
        start();
        QWidget* w = form().widget();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(list()->count(), 2);
        auto* name = form().control<QLineEdit>("scriptNameText");
        auto scriptOf = [&](int row) {
            return list()->item(row)->text() == "第二" ? "第二" : kSampleScript;
        };
        const QString first = scriptOf(0), second = scriptOf(1);
        QStringList boxes;
        bool shared = false;
        form().windows.setBoxData = [&](const QString&, const QString&, const QString& n,
                                        const QString&) { boxes << n; };
        form().windows.showShareWindow = [&] { shared = true; };
        QWidget other;  // another tool window of the workbench
        other.resize(200, 100);
        form().windows.showSearchWindow = [&] {
            other.show();
            other.activateWindow();
        };

        // Road 1: Tab moves the focus into the list; the list makes its first entry current
        // by itself, and nothing opens.
        auto tabIntoTheList = [&] {
            tabs()->setFocus(Qt::OtherFocusReason);
            for (int i = 0; i < 40 && !list()->hasFocus(); ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            return list()->hasFocus() && list()->currentRow() == 0;
        };
        QVERIFY(tabIntoTheList());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());
        QCOMPARE(name->text(), QString());
        tool(9)->click();
        QCOMPARE(boxes.takeLast(), QString());
        platform::clearShownDialogs();
        tool(5)->click();
        QVERIFY(!shared);
        QCOMPARE(dialogs().value(0).text, QString("请选择分享的文件"));
        // Space chooses the entry the focus is on; that is a pick.
        QVERIFY(tabIntoTheList());
        QCOMPARE(name->text(), QString());
        QTest::keyClick(list(), Qt::Key_Space);
        QCOMPARE(name->text(), first);

        // The user's click opens the second script; the keyboard moves back to the first.
        clickEntry(list()->item(1)->text());
        QCOMPARE(name->text(), second);
        QTest::keyClick(list(), Qt::Key_Up);
        QCOMPARE(name->text(), first);
        QTest::keyClick(list(), Qt::Key_Down);
        QCOMPARE(name->text(), second);
        const QString secondPath = ScriptModule::scriptDocument().currentScriptPath;
        QVERIFY(secondPath.endsWith("/" + second + ".txt"));

        // Road 2: another tool window opens (the list reloads after the button) and this
        // window is activated again, the focus back in the list.
        QVERIFY(list()->hasFocus());
        tool(4)->click();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QVERIFY(list()->hasFocus());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, secondPath);
        QCOMPARE(name->text(), second);
        tool(9)->click();
        QCOMPARE(boxes.takeLast(), list()->item(1)->text());
        tool(5)->click();
        QVERIFY(shared);
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, secondPath);

        // Road 3: 新 建 opens the script window; closing it shows this window again, its
        // list reloaded and focused. The new script had no file, and nothing picked one.
        form().windows.showScriptWindow = [&] {
            other.show();
            other.activateWindow();
        };
        tool(0)->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());
        other.hide();
        form().show();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        list()->setFocus(Qt::ActiveWindowFocusReason);
        QVERIFY(list()->hasFocus());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());
        shared = false;
        platform::clearShownDialogs();
        tool(5)->click();
        QVERIFY(!shared);
        QCOMPARE(dialogs().value(0).text, QString("请选择分享的文件"));
    }

    // Every entry stands for its own file: "a.txt" and "a.txt.txt" both show as "a", and
    // opening, deleting and packing each reach the file behind it.
    void eachEntryNamesItsOwnFile() {
        const QString cat = scriptDir() + "/同名";
        saveScript(cat + "/a.txt", "短");
        saveScript(cat + "/a.txt.txt", "长");
        start();
        QVERIFY(selectTab("同名"));
        QCOMPARE(listTexts(list()), QStringList({"a", "a"}));
        auto* name = form().control<QLineEdit>("scriptNameText");
        QStringList files;
        for (int row = 0; row < 2; ++row) {
            const QRect r = list()->visualItemRect(list()->item(row));
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, r.center());
            files << QFileInfo(ScriptModule::scriptDocument().currentScriptPath).fileName();
            QCOMPARE(name->text(), files.last() == "a.txt" ? "短" : "长");
        }
        QCOMPARE(sorted(files), QStringList({"a.txt", "a.txt.txt"}));

        // 打 包 passes the file of the chosen entry along with its name.
        QStringList packed;
        form().windows.setBoxData = [&](const QString&, const QString&, const QString& n,
                                        const QString& f) { packed << n + "|" + f; };
        tool(9)->click();
        QCOMPARE(packed, QStringList{"a|" + files[1]});

        // Deleting the second entry deletes its file only.
        list()->clearSelection();
        list()->item(1)->setSelected(true);
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        tool(2)->click();
        QVERIFY(!QFile::exists(cat + "/" + files[1]));
        QVERIFY(QFile::exists(cat + "/" + files[0]));
        QCOMPARE(listTexts(list()), QStringList{"a"});
    }

    // Names beginning with "." are names like any other: a category ".drafts" and a script
    // ".x" are listed.
    void hiddenNamesAreListed() {
        saveScript(scriptDir() + "/.drafts/.x.txt", "隐");
        saveScript(scriptDir() + "/" + kSampleCategory + "/.y.txt", "点");
        start();
        QVERIFY(tabTexts(tabs()).contains(".drafts"));
        QVERIFY(listTexts(list()).contains(".y") || selectTab(kSampleCategory));
        QVERIFY(selectTab(kSampleCategory));
        QVERIFY(listTexts(list()).contains(".y"));
        QVERIFY(selectTab(".drafts"));
        QCOMPARE(listTexts(list()), QStringList{".x"});
        clickEntry(".x");
        QCOMPARE(form().control<QLineEdit>("scriptNameText")->text(), QString("隐"));
    }

    void deletingScripts() {
        const QString cat = scriptDir() + "/删";
        for (const char* n : {"a", "b", "c", "d"}) writeBytes(cat + "/" + n + ".txt", "x");
        start();
        QVERIFY(selectTab("删"));
        auto fileNames = [&] { return sorted(QDir(cat).entryList(QDir::Files)); };

        // Without a selection there is nothing to ask about: the user is told to pick, and
        // nothing goes.
        list()->clearSelection();
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        QTest::mouseClick(tool(2), Qt::LeftButton);
        QCOMPARE(dialogs().size(), 1);
        QCOMPARE(dialogs()[0].text, QString("请选择要删除的脚本"));
        QCOMPARE(dialogs()[0].buttons, platform::MsgButtons::Ok);
        QCOMPARE(fileNames(), QStringList({"a.txt", "b.txt", "c.txt", "d.txt"}));
        platform::clearShownDialogs();

        // With one, the question comes first.
        list()->findItems("d", Qt::MatchExactly)[0]->setSelected(true);
        platform::queueMessageAnswer(platform::MsgAnswer::No);
        tool(2)->click();
        QCOMPARE(dialogs().size(), 1);
        QCOMPARE(dialogs()[0].text, QString("删除后无法恢复,确定要继续么?"));
        QCOMPARE(dialogs()[0].title, QString("提示"));
        QCOMPARE(dialogs()[0].buttons, platform::MsgButtons::YesNo);
        QCOMPARE(fileNames().size(), 4);

        auto select = [&](const QStringList& names) {
            list()->clearSelection();
            for (const QString& n : names)
                list()->findItems(n, Qt::MatchExactly)[0]->setSelected(true);
        };
        // No keeps them.
        select({"a", "c"});
        platform::queueMessageAnswer(platform::MsgAnswer::No);
        tool(2)->click();
        QCOMPARE(fileNames().size(), 4);

        select({"a", "c", "d"});
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        tool(2)->click();
        QCOMPARE(fileNames(), QStringList{"b.txt"});
        QCOMPARE(listTexts(list()), QStringList{"b"});

        // A file the file system refuses to delete is named, and the rest goes on. Here the
        // entry "x" names x.txt.txt, which has become a folder with something in it since
        // the list was filled.
        writeBytes(cat + "/x.txt.txt", "x");
        form().refreshScript();
        QVERIFY(selectTab("删"));
        QVERIFY(QFile::remove(cat + "/x.txt.txt"));
        writeBytes(cat + "/x.txt.txt/inner", "x");
        select({"b", "x"});
        platform::clearShownDialogs();
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        tool(2)->click();
        QCOMPARE(dialogs().size(), 2);
        QCOMPARE(dialogs()[1].text, QString("下列脚本未能删除:\r\nx"));
        QVERIFY(!QFile::exists(cat + "/b.txt"));
        QVERIFY(form().widget()->isVisible());
    }

    void deletingTheOpenScriptKeepsTheDocument() {
        start();
        clickEntry(kSampleScript);
        const QString path = ScriptModule::scriptDocument().currentScriptPath;
        list()->item(0)->setSelected(true);
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        tool(2)->click();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(ScriptModule::scriptDocument().name, kSampleScript);
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, path);
        // What was picked is gone from the list, and so are its properties.
        QCOMPARE(form().control<QLineEdit>("scriptNameText")->text(), QString());
        bool shared = false;
        form().windows.showShareWindow = [&] { shared = true; };
        platform::clearShownDialogs();
        tool(5)->click();
        QVERIFY(shared);
        QVERIFY(dialogs().isEmpty());
    }

    void shareRefusedWithoutAScript() {
        start();
        bool shared = false;
        form().windows.showShareWindow = [&] { shared = true; };
        // A script added behind the window's back shows only after a list reload.
        writeBytes(scriptDir() + "/" + kSampleCategory + "/新的.txt", "x");
        tool(5)->click();
        QVERIFY(!shared);
        QCOMPARE(dialogs().size(), 1);
        QCOMPARE(dialogs()[0].text, QString("请选择分享的文件"));
        QCOMPARE(dialogs()[0].title, QString("提示"));
        QCOMPARE(dialogs()[0].buttons, platform::MsgButtons::Ok);
        QCOMPARE(list()->count(), 1);
        tool(4)->click();  // any other row reloads
        QCOMPARE(list()->count(), 2);
    }

    void toolRowCallsTheWindows() {
        writeConfig("[tolvar]\r\nversion=3.0\r\nflag=1\r\n");
        start();
        QStringList log;
        auto& w = form().windows;
        w.showScriptWindow = [&] { log << "script:" + ScriptModule::scriptDocument().name; };
        w.setScriptBoard = [&](int board) { log << QString("board %1").arg(board); };
        w.showRecordWindow = [&] { log << "record"; };
        w.showSearchWindow = [&] { log << "search"; };
        w.setConfigData = [&](qint16 v) { log << QString("config %1").arg(v); };
        w.showConfigWindow = [&] { log << "config shown"; };
        w.showAboutWindow = [&] { log << "about"; };
        w.setBoxData = [&](const QString& skin, const QString& cat, const QString& script,
                           const QString& file) {
            log << "box[" + skin + "|" + cat + "|" + script + "|" + file + "]";
        };
        w.showMakeBox = [&] { log << "box shown"; };

        clickEntry(kSampleScript);
        tool(9)->click();
        QCOMPARE(log, QStringList({"box[|" + kSampleCategory + "|" + kSampleScript + "|" +
                                       kSampleScript + ".txt]",
                                   "box shown"}));
        // 新 建: the script window shows first, then the document is cleared and the
        // properties tab chosen, and this window hides.
        log.clear();
        tool(0)->click();
        QCOMPARE(log, QStringList({"script:" + kSampleScript, "board 1"}));
        QCOMPARE(ScriptModule::scriptDocument().name, QString());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());
        QVERIFY(!form().widget()->isVisible());
        form().show();
        log.clear();
        tool(1)->click();
        QCOMPARE(log, QStringList({"script:", "board 2"}));
        QVERIFY(!form().widget()->isVisible());
        form().show();
        log.clear();
        for (int i : {3, 4, 6, 8}) tool(i)->click();
        QCOMPARE(log, QStringList({"record", "search", "config 1", "config shown", "about"}));
        // 打 包 with no current entry passes empty text.
        list()->setCurrentItem(nullptr);
        log.clear();
        tool(9)->click();
        QCOMPARE(log.first(), "box[|" + kSampleCategory + "||]");
    }

    void toolRowWithoutWindows() {
        start();
        clickEntry(kSampleScript);
        ScriptModule::scriptDocument().currentScriptPath = "x";
        tool(0)->click();  // no script window yet: clears, and the window stays
        QCOMPARE(ScriptModule::scriptDocument().name, QString());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());
        QVERIFY(form().widget()->isVisible());
        for (int i : {1, 3, 4, 6, 8, 9}) tool(i)->click();
        QVERIFY(form().widget()->isVisible());
        QVERIFY(dialogs().isEmpty());
    }

    void upgradeButton() {
        start();
        site_->versionReply = "3.0";  // one line only
        tool(7)->click();
        QCOMPARE(dialogs().size(), 1);
        QCOMPARE(dialogs()[0].title, QString("提示"));
        QVERIFY(dialogs()[0].text.contains("版本"));
        QVERIFY(!UpdateWndForm::instance().isLoaded());
        site_->versionReply = "9.9\r\nhttp://d/new";
        tool(7)->click();
        QVERIFY(UpdateWndForm::instance().widget()->isVisible());
        QCOMPARE(UpdateWndForm::instance().control<QLabel>("Label4")->text(), QString("9.9"));
        QCOMPARE(dialogs().size(), 1);
    }

    // 升 级 without a usable answer says why; a second press while the first waits asks the
    // site nothing more.
    void upgradeSaysWhy_data() {
        QTest::addColumn<QString>("host");  // empty for the test server
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("why");
        QTest::newRow("dead port")
            << "http://127.0.0.1:1" << QByteArray() << 0 << "无法连接到网站(没有网络,或网站不存在)";
        QTest::newRow("never answers")
            << "" << QByteArray("3.1\r\nu") << 5000 << "网站没有回应(等待超时或连接被中断)";
        QTest::newRow("one line") << "" << QByteArray("3.1") << 0 << "网站的版本信息不完整";
    }
    void upgradeSaysWhy() {
        QFETCH(QString, host);
        QFETCH(QByteArray, reply);
        QFETCH(int, delayMs);
        QFETCH(QString, why);
        start();
        const QString main = host.isEmpty() ? site_->main.base() : host;
        writeSite(site_->forum.base(), main, "requestTimeoutMs=800\r\n");
        site_->versionReply = reply;
        site_->versionDelayMs = delayMs;
        QTest::mouseClick(tool(7), Qt::LeftButton);
        QCOMPARE(dialogs().size(), 1);
        QCOMPARE(dialogs()[0].text, "无法获取最新版本信息,请检查网络连接后再试\n" + why);
        QVERIFY(!UpdateWndForm::instance().isLoaded());
    }

    void upgradePressedTwiceAsksOnce() {
        start();
        site_->versionReply = "9.9\r\nhttp://d/new";
        site_->versionDelayMs = 400;
        site_->order.clear();
        bool pressedInside = false;
        QTimer::singleShot(100, this, [&] {
            pressedInside = true;
            QTest::mouseClick(tool(7), Qt::LeftButton);
        });
        QTest::mouseClick(tool(7), Qt::LeftButton);
        QVERIFY(pressedInside);
        QTest::qWait(600);
        QCOMPARE(site_->order, QStringList{"version"});
        QVERIFY(dialogs().isEmpty());
        QVERIFY(UpdateWndForm::instance().widget()->isVisible());
    }

    // The update window shows again every second: covered by the main window, which the user
    // clicked, it is raised above it again.
    void updateWindowIsRaisedAgain() {
        writeConfig("[tolvar]\r\nversion=3.0\r\nflag=1\r\n");
        start();
        site_->versionReply = "3.1\r\nhttp://d/new";
        QTest::mouseClick(tool(7), Qt::LeftButton);
        QWidget* update = UpdateWndForm::instance().widget();
        QVERIFY(update && update->isVisible());
        struct Raises : QObject {
            int count = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::ZOrderChange) ++count;
                return false;
            }
        } raises;
        update->installEventFilter(&raises);
        // The user works in the main window: a click there brings it to the front.
        form().widget()->activateWindow();
        form().widget()->raise();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        raises.count = 0;
        QTRY_VERIFY_WITH_TIMEOUT(raises.count >= 1, 2500);
        QVERIFY(update->isVisible());
        update->removeEventFilter(&raises);
    }

    // ---- category folders ----

    void folderMenuPopsUpOnTheRightButton() {
        start();
        auto* menu = form().control<QMenu>("folderMenu");
        QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(0).center());
        QVERIFY(!menu->isVisible());
        QTest::mouseClick(tabs(), Qt::RightButton, {}, QPoint(5, 5));
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), tabs()->mapToGlobal(QPoint(5, 5)));
        for (QAction* a : menu->actions()) QVERIFY(a->isEnabled());
        menu->close();
    }

    void folderActions() {
        start();
        auto* menu = form().control<QMenu>("folderMenu");
        auto act = [&](const char* name) { menu->findChild<QAction*>(name)->trigger(); };
        auto exists = [&](const QString& n) { return QFileInfo(scriptDir() + "/" + n).isDir(); };

        // New
        platform::queueInputAnswer("新分类");
        act("newFolderActive");
        QVERIFY(exists("新分类"));
        QVERIFY(tabTexts(tabs()).contains("新分类"));
        QCOMPARE(dialogs()[0].text, QString("请在下面输入新建的目录名称"));
        QCOMPARE(dialogs()[0].title, QString("新建目录"));
        QCOMPARE(dialogs()[0].defaultText, QString());
        QCOMPARE(dialogs().size(), 1);
        // After the tabs are rebuilt the list follows the selected (first) tab.
        QCOMPARE(listTexts(list()).isEmpty(), tabs()->tabText(0) == "新分类");

        platform::clearShownDialogs();
        act("newFolderActive");  // cancelled
        QCOMPARE(dialogs().size(), 1);

        // Names that would reach outside the library, or are no names at all.
        for (const char* bad : {"../evil", "a/b", "a\\b", "..", ".", "   "}) {
            platform::clearShownDialogs();
            platform::queueInputAnswer(QString::fromUtf8(bad));
            act("newFolderActive");
            QCOMPARE(dialogs().size(), 2);
            QVERIFY(dialogs()[1].text.contains("目录名称无效"));
        }
        QVERIFY(!QFileInfo::exists(folder_->file("evil")));
        QVERIFY(!QFileInfo::exists(scriptDir() + "/a"));

        platform::clearShownDialogs();
        platform::queueInputAnswer("新分类");  // already there
        act("newFolderActive");
        QCOMPARE(dialogs().size(), 2);
        QVERIFY(dialogs()[1].text.startsWith("新建目录失败"));

        // Rename
        QVERIFY(selectTab("新分类"));
        platform::clearShownDialogs();
        platform::queueInputAnswer("改名");
        act("editFolderActive");
        QCOMPARE(dialogs()[0].text, QString("要将目录名称<新分类>变更为"));
        QCOMPARE(dialogs()[0].title, QString("修改目录"));
        QVERIFY(exists("改名") && !exists("新分类"));
        QVERIFY(tabTexts(tabs()).contains("改名"));

        QVERIFY(selectTab("改名"));
        platform::clearShownDialogs();
        platform::queueInputAnswer(kSampleCategory);  // taken
        act("editFolderActive");
        QCOMPARE(dialogs().size(), 2);
        QVERIFY(dialogs()[1].text.startsWith("修改目录失败"));
        QVERIFY(exists("改名") && exists(kSampleCategory));
        QCOMPARE(QDir(scriptDir() + "/" + kSampleCategory).entryList(QDir::Files).size(), 1);

        QVERIFY(selectTab("改名"));
        platform::clearShownDialogs();
        platform::queueInputAnswer("../../escaped");
        act("editFolderActive");
        QVERIFY(dialogs()[1].text.contains("目录名称无效"));
        QVERIFY(exists("改名"));

        // Remove: a folder with scripts in it is refused, an empty one goes on Yes.
        QVERIFY(selectTab(kSampleCategory));
        platform::clearShownDialogs();
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        act("delFolderActive");
        QCOMPARE(dialogs()[0].text, "您确认要删除目录" + kSampleCategory + "？");
        QCOMPARE(dialogs()[0].title, QString("删除目录"));
        QCOMPARE(dialogs()[0].buttons, platform::MsgButtons::YesNo);
        QCOMPARE(dialogs().size(), 2);
        QVERIFY(dialogs()[1].text.startsWith("删除目录失败"));
        QVERIFY(exists(kSampleCategory));

        QVERIFY(selectTab("改名"));
        platform::queueMessageAnswer(platform::MsgAnswer::No);
        act("delFolderActive");
        QVERIFY(exists("改名"));
        QVERIFY(selectTab("改名"));
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        act("delFolderActive");
        QVERIFY(!exists("改名"));
        QCOMPARE(tabTexts(tabs()), QStringList{kSampleCategory});
        QCOMPARE(listTexts(list()), QStringList{kSampleScript});
    }

    void libraryWithoutCategories() {
        QDir(scriptDir()).removeRecursively();
        QDir().mkpath(scriptDir());
        writeBytes(scriptDir() + "/loose.txt", "x");
        start();
        QCOMPARE(tabs()->count(), 0);
        QCOMPARE(list()->count(), 0);

        QStringList log;
        form().windows.setBoxData = [&](const QString& s, const QString& c, const QString& n,
                                        const QString& f) {
            log << s + "|" + c + "|" + n + "|" + f;
        };
        tool(9)->click();
        QCOMPARE(log, QStringList{"|||"});
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        tool(2)->click();
        QVERIFY(QFile::exists(scriptDir() + "/loose.txt"));

        // Rename and remove are offered only with a category; called anyway they do nothing.
        auto* menu = form().control<QMenu>("folderMenu");
        QTest::mouseClick(tabs(), Qt::RightButton, {}, QPoint(5, 5));
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(menu->findChild<QAction*>("newFolderActive")->isEnabled());
        QVERIFY(!menu->findChild<QAction*>("editFolderActive")->isEnabled());
        QVERIFY(!menu->findChild<QAction*>("delFolderActive")->isEnabled());
        menu->close();
        platform::clearShownDialogs();
        QMetaObject::invokeMethod(menu->findChild<QAction*>("editFolderActive"), "triggered");
        QMetaObject::invokeMethod(menu->findChild<QAction*>("delFolderActive"), "triggered");
        QVERIFY(dialogs().isEmpty());
        QVERIFY(QDir(scriptDir()).exists());

        // The first category made gets its tab, selected.
        platform::queueInputAnswer("第一");
        menu->findChild<QAction*>("newFolderActive")->trigger();
        QCOMPARE(tabTexts(tabs()), QStringList{"第一"});
        QCOMPARE(tabs()->currentIndex(), 0);
    }

    void missingLibraryFolder() {
        QDir(scriptDir()).removeRecursively();
        start();
        QCOMPARE(tabs()->count(), 0);
        platform::queueInputAnswer("新");
        form().control<QMenu>("folderMenu")->findChild<QAction*>("newFolderActive")->trigger();
        QVERIFY(QFileInfo(scriptDir() + "/新").isDir());
        QCOMPARE(tabTexts(tabs()), QStringList{"新"});
    }

    // ---- the end ----

    void closingEndsTheProgram() {
        start();
        // Another window stays open: the program ends because the main window closed.
        QWidget other;
        other.show();
        form().setQuitOnClose(true);
        QTimer::singleShot(0, this, [this] { form().close(); });
        QTimer::singleShot(5000, this, [] { QCoreApplication::exit(7); });
        const int rc = QCoreApplication::exec();
        form().setQuitOnClose(false);
        QCOMPARE(rc, 0);
        QVERIFY(!form().isLoaded());
    }
};

SUITE_TEST_MAIN(MainWndFormTest)
#include "tst_mainwndform.moc"
