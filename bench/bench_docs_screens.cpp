// Plays the README's walk-through on the real windows and saves the README's pictures, each
// window at the size it opens with.
//
//   bench_docs_screens velmora <picture folder> <work folder>
//   bench_docs_screens zandrel <picture folder> <work folder>
//   bench_docs_screens quillon <picture folder> <work folder>
//
// Each program runs in its own process, on a copy of its shipped program folder laid out in
// the work folder (<work>/Velmora, <work>/Zandrel, <work>/Quillon), as a user
// would drive it: mouse clicks on buttons, list entries and page elements, typing with key
// events. The pages come from a small local site that the browser reaches as
// http://www.example.com/, and the maker's site is a local server named in site.ini.
// "velmora" writes a new script, debugs it, records in a page and packs a box into its box
// folder; "zandrel" takes that box into its own folder and opens it; "quillon" analyses the
// same page. Every step prints a
// line; a step that does not reach its state ends the run with exit code 1.
// scripts/docs-screenshots.sh runs the three in order.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>
#include <cstdio>
#include <cstdlib>

#include "analyzer/analysiswndform.h"
#include "analyzer/nodewndform.h"
#include "library/base64.h"
#include "library/scriptdocument.h"
#include "livepage/debugwndform.h"
#include "livepage/recordwndform.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "player/tolvarboxform.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/makeboxform.h"
#include "workbench/savewndform.h"
#include "workbench/scriptwndform.h"
#include "workbench/searchwndform.h"
#include "workbench/skineditpanel.h"

using platform::WebBrowser;

namespace {

// The page every program is shown on: a small shop page with a search box and a link.
const char* const kShopPage = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>示例商城 - 首页</title>
<style>
body { margin: 0; font: 15px/1.7 "WenQuanYi Micro Hei", sans-serif; color: #333; background: #f4f5f7; }
.top { background: #24292f; color: #fff; padding: 12px 20px; font-size: 19px; }
.top a { color: #c9d1d9; margin-left: 16px; font-size: 14px; text-decoration: none; }
.main { padding: 14px 20px; max-width: 420px; }
.card { background: #fff; padding: 10px 16px; margin-bottom: 10px; border-radius: 6px; box-shadow: 0 1px 2px #ccc; }
.card h3 { margin: 0; color: #0b57d0; font-size: 16px; }
.price { color: #d93025; font-weight: bold; }
input { width: 200px; padding: 4px 6px; font-size: 15px; }
button { padding: 4px 12px; font-size: 15px; }
</style></head>
<body>
<div class="top">示例商城 <a id="home" href="/">首页</a><a id="list" href="/list.html">商品列表</a></div>
<div class="main">
 <p><input id="kw" type="text" placeholder="搜索商品"> <button id="go" type="button">搜索</button></p>
 <div class="card"><h3 id="item1">无线降噪耳机 Pro</h3>30 小时续航 <span class="price">¥ 899</span></div>
 <div class="card"><h3>机械键盘 87 键</h3>三模连接 <span class="price">¥ 459</span></div>
 <div class="card"><h3>移动电源 20000mAh</h3>双向快充 <span class="price">¥ 159</span></div>
</div>
</body></html>
)HTML";

const QString kHost = QStringLiteral("www.example.com");
const QString kShopUrl = QStringLiteral("http://www.example.com/");

// What the walk-through types.
const QString kScriptName = QStringLiteral("标题助手");
const QString kCategory = QStringLiteral("常用工具");

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

[[noreturn]] void fail(const QString& what) {
    out() << "FAILED: " << what << "\n";
    out().flush();
    std::exit(1);
}

void step(const QString& what) {
    out() << "- " << what << "\n";
    out().flush();
}

template <typename T>
T* need(T* control, const QString& name) {
    if (!control) fail(QStringLiteral("no control ") + name);
    return control;
}

template <typename T>
T* find(const platform::Form& form, const QString& name) {
    return need(form.control<T>(name), name);
}

template <typename T>
T* findIn(QWidget* parent, const QString& name) {
    return need(parent->findChild<T*>(name), name);
}

void settle(int ms = 150) {
    QTest::qWait(ms);
}

// Types text key by key; characters beyond ASCII come as key events that carry the text, as
// an input method delivers them.
void typeKeys(QWidget* target, const QString& text) {
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\n'))
            QTest::keyClick(target, Qt::Key_Return);
        else if (ch.unicode() < 128)
            QTest::keyClick(target, char(ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

void press(QAbstractButton* button) {
    if (!button->isEnabled()) fail(QStringLiteral("button disabled: ") + button->text());
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

// Replaces the text of a one-line box by typing, as a user who selects all and types.
void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    typeKeys(box, text);
    settle(50);
}

// Chooses an entry of a drop-down list with the keyboard, the way a user steps through it.
void pick(QComboBox* combo, const QString& text) {
    const int target = combo->findText(text);
    if (target < 0) {
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
        fail(QStringLiteral("no entry %1 in %2: %3")
                 .arg(text, combo->objectName(), entries.join(QStringLiteral(" | "))));
    }
    combo->setFocus();
    if (combo->currentIndex() == target) {
        // Choosing the entry on show is still a choice.
        Q_EMIT combo->activated(target);
    }
    while (combo->currentIndex() != target)
        QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    settle(50);
}

void clickEntry(QListWidget* list, const QString& text) {
    const auto items = list->findItems(text, Qt::MatchExactly);
    if (items.isEmpty()) fail(QStringLiteral("no entry ") + text);
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(items.first()).center());
    settle();
}

void clickTab(QTabBar* bar, int index) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    settle();
}

bool waitFor(const std::function<bool()>& ready, int ms = 15000) {
    return QTest::qWaitFor(ready, ms);
}

// The page's document has completed and holds the given element.
bool pageHas(WebBrowser* wb, const QString& selector) {
    return waitFor([&] {
        return wb && wb->ReadyState() == 4 &&
               wb->Document()
                   .evaluate(QStringLiteral("!!document.querySelector(\"%1\")").arg(selector))
                   .toBool();
    });
}

// The pointer moves onto a point of the widget as the window system reports it: a move with no
// button held reaches the widget only through its window.
void hover(QWidget* target, const QPoint& p) {
    QTest::mouseMove(target->window()->windowHandle(), target->mapTo(target->window(), p));
}

// A real mouse click on a page element, at its centre in the view.
void clickInPage(WebBrowser* wb, const QString& selector) {
    const QString where =
        wb->Document()
            .evaluate(QStringLiteral("(function(){var e=document.querySelector(\"%1\");"
                                     "if(!e)return '';var r=e.getBoundingClientRect();"
                                     "return Math.round(r.left+r.width/2)+','+"
                                     "Math.round(r.top+r.height/2);})()")
                          .arg(selector))
            .toString();
    const QStringList xy = where.split(QLatin1Char(','));
    if (xy.size() != 2) fail(QStringLiteral("no element ") + selector + QStringLiteral(" in page"));
    QWidget* target = wb->view()->focusProxy() ? wb->view()->focusProxy() : wb->view();
    const QPoint p(xy[0].toInt(), xy[1].toInt());
    hover(target, p);
    settle(50);
    QTest::mouseClick(target, Qt::LeftButton, {}, p);
    settle(300);
}

void typeInPage(WebBrowser* wb, const QString& text) {
    QWidget* target = wb->view()->focusProxy() ? wb->view()->focusProxy() : wb->view();
    typeKeys(target, text);
    settle(300);
}

QString pageText(WebBrowser* wb, const QString& expression) {
    return wb->Document().evaluate(expression).toString();
}

// The window as it shows, its caption drawn above it as a plain title bar.
QImage framed(QWidget* window) {
    const QImage body = window->grab().toImage();
    const int bar = 26;
    QImage image(body.width() + 2, body.height() + bar + 1, QImage::Format_RGB32);
    image.fill(QColor(0x9a, 0xa4, 0xb1));
    QPainter p(&image);
    p.fillRect(1, 0, body.width(), bar, QColor(0xdf, 0xe4, 0xea));
    QFont f = QApplication::font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x22, 0x2b, 0x36));
    p.drawText(QRect(10, 0, body.width() - 20, bar), Qt::AlignVCenter | Qt::AlignLeft,
               window->windowTitle());
    p.drawImage(1, bar, body);
    return image;
}

void save(const QImage& image, const QString& file) {
    // Quality 0 is the strongest compression.
    if (!image.convertToFormat(QImage::Format_RGB888).save(file, "PNG", 0))
        fail(QStringLiteral("cannot write ") + file);
    out() << "  " << file << " (" << QFileInfo(file).size() / 1024 << " KB)\n";
    out().flush();
}

void shoot(QWidget* window, const QString& file) {
    window->raise();
    window->activateWindow();
    settle(400);
    save(framed(window), file);
}

// Lays out the program folder <work>/<Program> afresh from the shipped data/<program> and
// makes it the process's program folder. A fixed place keeps the paths that windows show the
// same from one run to the next.
QString layOutProgramFolder(const QString& work, const QString& program) {
    const QString name = program.left(1).toUpper() + program.mid(1);
    const QString folder = QDir(work).absoluteFilePath(name);
    QDir(folder).removeRecursively();
    const QString from = sourceDataFolder(program);
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = folder + "/" + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
    QDir().mkpath(folder);
    platform::setProgramFolder(folder);
    return folder;
}

// The maker's web site: the plug-in list, the forum and statistics pages.
void serveMakerSite(TestServer& site) {
    const QByteArray plugins = "jquery=" + site.url("/js/jquery.js").toLatin1() +
                               "\r\njson2=" + site.url("/js/json2.js").toLatin1() + "\r\n";
    site.route("/plugin.txt", [plugins](const TestServer::Request&) {
        TestServer::Response r;
        r.contentType = "text/plain";
        r.body = plugins;
        return r;
    });
    site.page("/js/jquery.js", "", "text/javascript");
    site.page("/js/json2.js", "", "text/javascript");
    site.route("/bbs/", [](const TestServer::Request&) { return TestServer::Response{}; });
    site.route("/total.htm", [](const TestServer::Request&) { return TestServer::Response{}; });
}

// Points site.ini of the program folder at the local maker's site.
void writeSiteIni(const QString& folder, const TestServer& site) {
    writeBytes(folder + QStringLiteral("/site.ini"),
               QByteArray("[site]\r\nforumHost=") + site.base().toLatin1() +
                   "\r\nmainHost=" + site.base().toLatin1() + "\r\nrequestTimeoutMs=3000\r\n");
}

// The browser reaches the local shop as www.example.com; this must be set before the first
// page is made.
void mapShopHost(const TestServer& shop) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --host-resolver-rules=\"MAP " + kHost.toLatin1() +
             " 127.0.0.1:" + QByteArray::number(shop.port()) + "\"";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

bool messageShown(const QString& text) {
    for (const platform::ShownDialog& d : platform::shownDialogs())
        if (d.kind == platform::DialogKind::Message && d.text == text) return true;
    return false;
}

// The element's box in the view, in the view's own pixels.
QRect rectInPage(WebBrowser* wb, const QString& selector) {
    const QStringList r =
        pageText(wb, QStringLiteral("(function(){var e=document.querySelector(\"%1\");"
                                    "if(!e)return '';var r=e.getBoundingClientRect();"
                                    "return [r.left,r.top,r.width,r.height].map(Math.round)"
                                    ".join(',');})()")
                         .arg(selector))
            .split(QLatin1Char(','));
    if (r.size() != 4) fail(QStringLiteral("no element ") + selector + QStringLiteral(" in page"));
    return QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
}

QImage viewPart(WebBrowser* wb, const QRect& part) {
    return wb->view()->grab(part).toImage().convertToFormat(QImage::Format_RGB32);
}

// Presses the board's 读取标题 with the mouse as a user does, with the message box shown on
// screen: while 读取完成 shows, the board's display area still shows what it showed before;
// once 确定 is clicked the title comes. The window as the message shows is kept in the work
// folder to be looked at.
void pressReadTitle(WebBrowser* wb, QWidget* window, const QString& shotWhileMessage) {
    const QString title = QStringLiteral("示例商城 - 首页");
    const QString shown = QStringLiteral("document.getElementById('titleOut').textContent");
    const QRect area = rectInPage(wb, QStringLiteral("#titleOut"));
    // The pointer rests on the button first, so that its hover look is there in both grabs.
    QWidget* target = wb->view()->focusProxy() ? wb->view()->focusProxy() : wb->view();
    const QPoint button = rectInPage(wb, QStringLiteral("#btnTitle")).center();
    hover(target, button);
    settle(500);
    const QImage before = viewPart(wb, area);

    QString message;
    QImage during;
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->stop();
        settle(600);
        message = box->text();
        during = viewPart(wb, area);
        save(framed(window), shotWhileMessage);
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        if (!ok) fail(QStringLiteral("the message has no OK button"));
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    poll->start();
    platform::setDialogsAutomatic(false);
    QTest::mouseClick(target, Qt::LeftButton, {}, button);
    const bool answered = waitFor([&] { return !message.isEmpty(); }, 15000);
    platform::setDialogsAutomatic(true);
    delete poll;
    if (!answered) fail(QStringLiteral("no message after 读取标题"));
    if (message != QStringLiteral("读取完成")) fail(QStringLiteral("the message reads ") + message);
    if (!waitFor([&] { return pageText(wb, shown) == title; }))
        fail(QStringLiteral("the board's button did not put the title on the board"));
    settle(500);
    if (during != before) fail(QStringLiteral("the board changed while the message showed"));
    if (viewPart(wb, area) == before) fail(QStringLiteral("the title did not show after 确定"));
    step(QStringLiteral("读取完成 showed first; after 确定 the board shows the title"));
}

// A browser window's load step opens a blank page; an address typed before that page has
// completed would race it.
void waitForBlankPage(livePage::BrowserHost& host) {
    if (!waitFor([&] {
            WebBrowser* wb = host.elementInUse();
            return wb && wb->LocationURL() == QLatin1String("about:blank") && wb->ReadyState() == 4;
        }))
        fail(QStringLiteral("the window's blank page did not complete"));
}

void navigate(QLineEdit* address, QAbstractButton* go, const QString& url) {
    typeInto(address, url);
    press(go);
}

// ---- Velmora ----

int runVelmora(const QString& pictures, const QString& work) {
    TestServer site;
    serveMakerSite(site);
    TestServer shop;
    shop.page("/", kShopPage);
    mapShopHost(shop);
    const QString folder = layOutProgramFolder(work, QStringLiteral("velmora"));
    writeSiteIni(folder, site);

    // The program's own start-up wiring.
    ScriptWndForm::wireMainWindow();
    MainWndForm::instance().windows.showRecordWindow = [] { RecordWndForm::instance().show(); };
    ScriptWndForm::instance().windows.showRecordWindow = [] { RecordWndForm::instance().show(); };
    ScriptWndForm::instance().windows.showDebugWindow = [] { DebugWndForm::instance().show(); };
    wireBoxAndShareWindows();
    wireSearchWindow();
    MainWndForm::instance().setQuitOnClose(false);

    MainWndForm& main = MainWndForm::instance();
    main.show();
    QWidget* mainWindow = main.widget();
    settle(300);
    step(QStringLiteral("main window: the shipped library"));
    QListWidget* scripts = find<QListWidget>(main, QStringLiteral("ListFile"));
    clickEntry(scripts, QStringLiteral("页面标题"));

    // 新 建
    step(QStringLiteral("新 建"));
    press(find<QAbstractButton>(main, QStringLiteral("toolsCmd_0")));
    ScriptWndForm& wnd = ScriptWndForm::instance();
    QWidget* scriptWindow = wnd.widget();
    if (!scriptWindow || !scriptWindow->isVisible()) fail(QStringLiteral("no script window"));
    if (mainWindow->isVisible()) fail(QStringLiteral("main window still shown"));
    QTabWidget* tabs = find<QTabWidget>(wnd, QStringLiteral("TabBoard"));

    step(QStringLiteral("基本属性: name, author, introduction, target address"));
    typeInto(find<QLineEdit>(wnd, QStringLiteral("scriptNameText")), kScriptName);
    typeInto(find<QLineEdit>(wnd, QStringLiteral("scriptAuthorText")), QStringLiteral("小林"));
    typeInto(find<QLineEdit>(wnd, QStringLiteral("scriptPageText")), kShopUrl);
    typeInto(find<QLineEdit>(wnd, QStringLiteral("scriptPopText")), QStringLiteral("显示网页标题"));
    auto* info = find<QPlainTextEdit>(wnd, QStringLiteral("scriptInfoText"));
    info->setFocus();
    typeKeys(info, QStringLiteral("按\"读取标题\"按钮, 面板上显示当前网页的标题。"));
    QListWidget* pool = find<QListWidget>(wnd, QStringLiteral("urlPoolList"));
    clickEntry(pool, QStringLiteral("http://"));
    typeInto(find<QLineEdit>(wnd, QStringLiteral("urlText")), kShopUrl);
    press(find<QAbstractButton>(wnd, QStringLiteral("editUrlCommand")));
    if (pool->count() != 1 || pool->item(0)->text() != kShopUrl)
        fail(QStringLiteral("target address not in the pool"));
    shoot(scriptWindow, pictures + "/script-properties.png");

    step(QStringLiteral("代码编辑: a function from the snippet button, one typed line"));
    clickTab(tabs->tabBar(), 1);
    auto* codeText = find<QPlainTextEdit>(wnd, QStringLiteral("codeText"));
    auto* palette = find<QTabWidget>(wnd, QStringLiteral("scriptTabStrip"));
    clickTab(palette->tabBar(), 1);
    typeInto(find<QLineEdit>(wnd, QStringLiteral("functionText")), QStringLiteral("showTitle"));
    press(find<QAbstractButton>(wnd, QStringLiteral("functionCommand")));
    {
        // The user selects the snippet's placeholder line and types the body over it.
        const QString placeholder = QStringLiteral("//方法体内容");
        const int at = codeText->toPlainText().indexOf(placeholder);
        if (at < 0) fail(QStringLiteral("no function snippet in the code"));
        QTextCursor c = codeText->textCursor();
        c.setPosition(at);
        c.setPosition(at + placeholder.size(), QTextCursor::KeepAnchor);
        codeText->setTextCursor(c);
        codeText->setFocus();
        typeKeys(codeText, QStringLiteral("  var out = document.getElementById('titleOut');"));
        QTest::keyClick(codeText, Qt::Key_Return);
        typeKeys(codeText, QStringLiteral("  if (out) out.innerHTML = document.title;"));
    }
    clickTab(palette->tabBar(), 0);
    typeInto(find<QLineEdit>(wnd, QStringLiteral("alertText")), QStringLiteral("读取完成"));
    press(find<QAbstractButton>(wnd, QStringLiteral("alertCommand")));
    press(find<QAbstractButton>(wnd, QStringLiteral("explainCommand")));
    shoot(scriptWindow, pictures + "/script-code.png");
    press(find<QAbstractButton>(wnd, QStringLiteral("codeCommand")));

    step(QStringLiteral("界面编辑: a button and a display area in the default skin, 预 览"));
    clickTab(tabs->tabBar(), 2);
    SkinEditPanel* skin = need(wnd.skinEdit(), QStringLiteral("skinEdit"));
    pick(findIn<QComboBox>(skin, QStringLiteral("cssFileCombo")), QStringLiteral("default"));
    pick(findIn<QComboBox>(skin, QStringLiteral("componentsCombo")), QStringLiteral("按钮"));
    typeInto(findIn<QLineEdit>(skin, QStringLiteral("idText")), QStringLiteral("btnTitle"));
    typeInto(findIn<QLineEdit>(skin, QStringLiteral("showText")), QStringLiteral("读取标题"));
    pick(findIn<QComboBox>(skin, QStringLiteral("styleCombo")), QStringLiteral("tvButtonMain"));
    typeInto(findIn<QLineEdit>(skin, QStringLiteral("functionText")),
             QStringLiteral("showTitle()"));
    press(findIn<QAbstractButton>(skin, QStringLiteral("addItemCommand")));
    pick(findIn<QComboBox>(skin, QStringLiteral("componentsCombo")), QStringLiteral("显示区"));
    typeInto(findIn<QLineEdit>(skin, QStringLiteral("idText")), QStringLiteral("titleOut"));
    typeInto(findIn<QLineEdit>(skin, QStringLiteral("showText")), QStringLiteral("点击上面的按钮"));
    pick(findIn<QComboBox>(skin, QStringLiteral("styleCombo")), QStringLiteral("tvLabel"));
    press(findIn<QAbstractButton>(skin, QStringLiteral("addItemCommand")));
    if (findIn<QListWidget>(skin, QStringLiteral("itemList"))->count() != 2)
        fail(QStringLiteral("the board does not hold two items"));
    {
        auto* preview = findIn<WebBrowser>(skin, QStringLiteral("previewWB"));
        press(findIn<QAbstractButton>(skin, QStringLiteral("previewCommand")));
        if (!pageHas(preview, QStringLiteral("#btnTitle")))
            fail(QStringLiteral("the preview shows no board"));
    }
    shoot(scriptWindow, pictures + "/script-board.png");

    step(QStringLiteral("保 存 into a category"));
    press(find<QAbstractButton>(wnd, QStringLiteral("saveCommand")));
    SaveWndForm& saveDialog = SaveWndForm::instance();
    if (!saveDialog.widget() || !saveDialog.widget()->isVisible())
        fail(QStringLiteral("no save dialog"));
    pick(find<QComboBox>(saveDialog, QStringLiteral("folderCombo")), kCategory);
    typeInto(find<QLineEdit>(saveDialog, QStringLiteral("scriptText")), kScriptName);
    press(find<QAbstractButton>(saveDialog, QStringLiteral("saveCommand")));
    const QString scriptFile = folder + "/script/" + kCategory + "/" + kScriptName + ".txt";
    if (!QFile::exists(scriptFile)) fail(QStringLiteral("script not saved: ") + scriptFile);

    step(QStringLiteral("调 试 on the shop page; the board's button pressed in the page"));
    press(find<QAbstractButton>(wnd, QStringLiteral("debugCommand")));
    DebugWndForm& debug = DebugWndForm::instance();
    QWidget* debugWindow = need(debug.widget(), QStringLiteral("debugger"));
    waitForBlankPage(debug.host());
    navigate(find<QLineEdit>(debug, QStringLiteral("urlText")),
             find<QAbstractButton>(debug, QStringLiteral("jumpCommand")), kShopUrl);
    WebBrowser* debugPage = debug.host().elementInUse();
    if (!pageHas(debugPage, QStringLiteral("#btnTitle")))
        fail(QStringLiteral("the debugged page shows no board: ") + debugPage->LocationURL() +
             QLatin1Char(' ') +
             pageText(debugPage, QStringLiteral("document.body.innerHTML.slice(0,300)")));
    pressReadTitle(debugPage, debugWindow, work + "/debugger-message.png");
    pick(find<QComboBox>(debug, QStringLiteral("functionCombo")), QStringLiteral("showTitle();"));
    press(find<QAbstractButton>(debug, QStringLiteral("executeFunctionCommand")));
    settle(500);
    if (rectInPage(debugPage, QStringLiteral("#velmoraPanel"))
            .intersects(rectInPage(debugPage, QStringLiteral("#velmoraBoard"))))
        fail(QStringLiteral("the analysis panel covers the board"));
    shoot(debugWindow, pictures + "/debugger.png");
    {
        // A double click on the left panel folds it to a strip; the page takes the room.
        auto* frame = find<QWidget>(debug, QStringLiteral("debugFrame"));
        const int shown = frame->width();
        QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(shown / 2, 8));
        if (!waitFor([&] { return frame->width() < shown / 4; }, 3000))
            fail(QStringLiteral("a double click did not fold the left panel"));
        QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(frame->width() / 2, 8));
        if (!waitFor([&] { return frame->width() == shown; }, 3000))
            fail(QStringLiteral("a second double click did not bring the left panel back"));
    }
    debug.close();
    {
        // bug.log traces each dressing stage by stage, errors or none.
        const QString log = QString::fromLocal8Bit(readBytes(folder + "/bug.log"));
        for (const char* stage : {"=>debug start", "=>debug runScript start",
                                  "=>debug inScript2Wnd end", "=>debug end"})
            if (!log.contains(QLatin1String(stage)))
                fail(QStringLiteral("bug.log lacks ") + QLatin1String(stage) + ": " + log);
        out() << "  bug.log: " << log.count(QLatin1Char('\n')) << " lines\n";
    }

    step(QStringLiteral("录 制 a click and a typed value"));
    press(find<QAbstractButton>(wnd, QStringLiteral("recordCommand")));
    RecordWndForm& recorder = RecordWndForm::instance();
    QWidget* recordWindow = need(recorder.widget(), QStringLiteral("recorder"));
    waitForBlankPage(recorder.host());
    navigate(find<QLineEdit>(recorder, QStringLiteral("urlText")),
             find<QAbstractButton>(recorder, QStringLiteral("jumpCommand")), kShopUrl);
    WebBrowser* recordPage = recorder.host().elementInUse();
    if (!pageHas(recordPage, QStringLiteral("#tv_hidden")))
        fail(QStringLiteral("no recorder in the page"));
    press(find<QAbstractButton>(recorder, QStringLiteral("startCommand")));
    clickInPage(recordPage, QStringLiteral("#kw"));
    typeInPage(recordPage, QStringLiteral("耳机"));
    clickInPage(recordPage, QStringLiteral("#go"));
    if (!waitFor([&] { return recorder.logContents().count(QLatin1Char('\n')) >= 2; }, 5000))
        fail(QStringLiteral("the log holds no lines: ") + recorder.logContents());
    out() << recorder.logContents() << "\n";
    shoot(recordWindow, pictures + "/recorder.png");
    press(find<QAbstractButton>(recorder, QStringLiteral("stopCommand")));
    recorder.close();

    step(QStringLiteral("close the script window; 打 包 in the main window"));
    wnd.close();
    settle(300);
    if (!mainWindow->isVisible()) fail(QStringLiteral("main window not back"));
    clickEntry(scripts, kScriptName);
    shoot(mainWindow, pictures + "/main.png");
    press(find<QAbstractButton>(main, QStringLiteral("toolsCmd_9")));
    MakeBoxForm& maker = MakeBoxForm::instance();
    QWidget* makerWindow = need(maker.widget(), QStringLiteral("box maker"));
    if (find<QComboBox>(maker, QStringLiteral("scriptCombo"))->currentText() != kScriptName)
        fail(QStringLiteral("the box maker did not take the chosen script"));
    // No skin is chosen until the user chooses one; the path is a drawn name no box has yet.
    auto* makerSkins = find<QComboBox>(maker, QStringLiteral("cssFileCombo"));
    if (makerSkins->currentIndex() != -1) fail(QStringLiteral("the box maker chose a skin"));
    pick(makerSkins, QStringLiteral("default"));
    auto* boxPath = find<QLineEdit>(maker, QStringLiteral("pathText"));
    const QString boxFile = boxPath->text();
    const QFileInfo box(boxFile);
    if (box.absolutePath() != QDir(folder + "/box").absolutePath() ||
        !QRegularExpression(QStringLiteral("^Tolvar脚本\\d{1,3}\\.tvb$"))
             .match(box.fileName())
             .hasMatch() ||
        box.exists())
        fail(QStringLiteral("the default box path is ") + boxFile);
    out() << "  default box path: " << boxFile << "\n";
    shoot(makerWindow, pictures + "/box-maker.png");
    platform::clearShownDialogs();
    press(find<QAbstractButton>(maker, QStringLiteral("packageCommand")));
    const auto shown = platform::shownDialogs();
    if (shown.isEmpty() || shown.last().text != QStringLiteral("导出成功~!"))
        fail(QStringLiteral("box not written: ") +
             (shown.isEmpty() ? QStringLiteral("no message") : shown.last().text));
    step(QStringLiteral("box written: ") + boxFile);
    maker.close();
    main.close();
    return 0;
}

// ---- Zandrel ----

int runZandrel(const QString& pictures, const QString& work) {
    TestServer site;
    serveMakerSite(site);
    TestServer shop;
    shop.page("/", kShopPage);
    mapShopHost(shop);
    const QString folder = layOutProgramFolder(work, QStringLiteral("zandrel"));
    writeSiteIni(folder, site);
    // The user copies the box from the workbench's box folder into the player's folder.
    const QStringList made =
        QDir(work + "/Velmora/box").entryList({QStringLiteral("*.tvb")}, QDir::Files);
    if (made.size() != 1)
        fail(QStringLiteral("no box in ") + work + QStringLiteral(" (run the velmora part first)"));
    const QString boxName = made.first();
    if (!QFile::copy(work + "/Velmora/box/" + boxName, folder + "/" + boxName))
        fail(QStringLiteral("cannot copy the box"));

    TolvarBoxForm& player = TolvarBoxForm::instance();
    player.registerComponent = [](const QString&) {};
    step(QStringLiteral("Zandrel starts on the remembered box"));
    player.show();
    auto intro = [&] {
        WebBrowser* wb = player.host().elementInUse();
        return pageHas(wb, QStringLiteral(".zd-card"));
    };
    if (!intro()) fail(QStringLiteral("no introduction page"));
    const QString sample = QStringLiteral("页面标题");
    auto introduces = [&](const QString& name) {
        return pageText(player.host().elementInUse(), QStringLiteral("document.body.innerText"))
            .contains(name);
    };
    if (!introduces(sample)) fail(QStringLiteral("the first start does not introduce the sample"));

    step(
        QStringLiteral("脚本列表: the new box is in use at once, its introduction comes at the "
                       "next start"));
    pick(find<QComboBox>(player, QStringLiteral("scriptListCombo")), boxName);
    if (player.currentBoxFile != boxName) fail(QStringLiteral("box not chosen"));
    if (player.widget()->windowTitle() != QStringLiteral("ZandrelV2.0(") + kScriptName + ")")
        fail(QStringLiteral("the caption is ") + player.widget()->windowTitle());
    settle(500);
    if (!introduces(sample) || introduces(kScriptName))
        fail(QStringLiteral("picking a box changed the introduction page on show"));
    player.close();
    settle(300);
    player.show();
    if (!intro()) fail(QStringLiteral("no introduction page after the restart"));
    if (!introduces(kScriptName)) fail(QStringLiteral("the introduction is not of the new box"));
    shoot(player.widget(), pictures + "/player-intro.png");

    step(QStringLiteral("a matching page shows the board"));
    navigate(find<QLineEdit>(player, QStringLiteral("urlText")),
             find<QAbstractButton>(player, QStringLiteral("urlCommand")), kShopUrl);
    WebBrowser* page = player.host().elementInUse();
    if (!pageHas(page, QStringLiteral("#btnTitle"))) fail(QStringLiteral("no board in the page"));
    pressReadTitle(page, player.widget(), work + "/player-message.png");
    shoot(player.widget(), pictures + "/player-page.png");

    step(QStringLiteral("首 页 opens the maker's site"));
    QTest::mouseClick(find<QAbstractButton>(player, QStringLiteral("toolBtn_0")), Qt::LeftButton);
    if (!waitFor([&] {
            WebBrowser* wb = player.host().elementInUse();
            return wb && wb->LocationURL().startsWith(site.base()) && wb->ReadyState() == 4;
        }))
        fail(QStringLiteral("首 页 went to ") + player.host().elementInUse()->LocationURL());
    player.close();
    return 0;
}

// ---- Quillon ----

int runQuillon(const QString& pictures, const QString& work) {
    TestServer shop;
    shop.page("/", kShopPage);
    mapShopHost(shop);
    layOutProgramFolder(work, QStringLiteral("quillon"));

    step(QStringLiteral("Quillon: page viewer and node window"));
    analysisWndForm& viewer = analysisWndForm::instance();
    viewer.show();
    nodeWndForm& nodes = nodeWndForm::instance();
    QWidget* viewerWindow = need(viewer.widget(), QStringLiteral("page viewer"));
    QWidget* nodeWindow = need(nodes.widget(), QStringLiteral("node window"));
    settle(300);
    navigate(find<QLineEdit>(viewer, QStringLiteral("Text1")),
             find<QAbstractButton>(viewer, QStringLiteral("Command1")), kShopUrl);
    if (!pageHas(viewer.elementInUse(), QStringLiteral("#item1")))
        fail(QStringLiteral("the page did not load"));
    settle(300);

    step(QStringLiteral("加 载, then a click on a node"));
    press(find<QAbstractButton>(nodes, QStringLiteral("Command1")));
    auto* tree = find<QTreeWidget>(nodes, QStringLiteral("nodeTV"));
    if (!waitFor([&] { return tree->topLevelItemCount() > 0; }, 5000))
        fail(QStringLiteral("no tree"));
    // Open the tree down to the first product name and click it.
    QTreeWidgetItem* hit = nullptr;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        if (hit) return;
        if (item->text(0).compare(QStringLiteral("H3"), Qt::CaseInsensitive) == 0) {
            hit = item;
            return;
        }
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i));
    if (!hit) fail(QStringLiteral("no H3 node"));
    for (QTreeWidgetItem* up = hit->parent(); up; up = up->parent()) up->setExpanded(true);
    tree->scrollToItem(hit);
    settle();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(hit).center());
    settle(500);
    const QString expression =
        find<QPlainTextEdit>(nodes, QStringLiteral("scriptText"))->toPlainText();
    out() << "  " << expression << "\n";
    if (expression.isEmpty()) fail(QStringLiteral("no expression written"));
    if (!pageText(viewer.elementInUse(), QStringLiteral("document.getElementById('item1')"
                                                        ".style.border"))
             .contains(QStringLiteral("blue")))
        fail(QStringLiteral("the element is not outlined"));

    // One picture: the page viewer with the node window beside it.
    const QImage left = framed(viewerWindow);
    const QImage right = framed(nodeWindow);
    QImage both(left.width() + right.width() + 12, std::max(left.height(), right.height()),
                QImage::Format_RGB32);
    both.fill(Qt::white);
    {
        QPainter p(&both);
        p.drawImage(0, 0, left);
        p.drawImage(left.width() + 12, 0, right);
    }
    save(both, pictures + "/analyzer.png");

    step(QStringLiteral("执 行 runs the expression in the page"));
    platform::clearShownDialogs();
    press(find<QAbstractButton>(nodes, QStringLiteral("runCommand")));
    // The display tab's first choice shows the element's id.
    if (!waitFor([] { return messageShown(QStringLiteral("item1")); }, 5000))
        fail(QStringLiteral("执 行 showed no message"));
    nodes.close();
    viewer.close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    app.setQuitOnLastWindowClosed(false);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr,
                     "usage: bench_docs_screens velmora|zandrel|quillon <pictures> [work]\n");
        return 2;
    }
    const QString part = args[1];
    const QString pictures = args[2];
    const QString work = args.size() > 3 ? args[3] : QDir::tempPath() + "/velmora-docs";
    QDir().mkpath(work);
    QDir().mkpath(pictures);
    if (part == QLatin1String("velmora")) return runVelmora(pictures, work);
    if (part == QLatin1String("zandrel")) return runZandrel(pictures, work);
    if (part == QLatin1String("quillon")) return runQuillon(pictures, work);
    std::fprintf(stderr, "unknown part\n");
    return 2;
}
