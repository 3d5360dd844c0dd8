// Renders every window of the three programs, and pages dressed with each shipped skin (and
// the analysis panel), to PNG files, so that the look can be judged by eye; prints how long
// each dressing took and every caption that its control cuts off.
//
//   bench_screenshots [output folder] [windows|pages]   (default: ./screenshots, both)
//
// For every window it writes window-<name>.png: the workbench's windows, the player's, the
// analyzer's two, Qt's dialogs as the programs show them and the engine's error page.
// For every skin it writes <skin>-page.png (a busy site with rules that would disturb a
// careless board, the board hovered, the panel following an element), <skin>-folded.png (the
// same page with the board and the panel folded to their handles) and <skin>-preview.png
// (the dressed skin text shown as a page of its own, as the board editor's preview shows it).

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTextStream>
#include <cstdio>

#include "library/board.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/pageinjection.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "support/captionfit.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "support/windowtour.h"

namespace {

const char* const kSite = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>示例商城</title>
<style>
* { line-height: 1.9; }
body { margin: 0; font: 15px/1.9 Georgia, serif; color: #333; background: #f2f2f2; }
div { margin: 6px; font-size: 16px; }
input[type=text] { width: 380px; border: 3px solid #f60; padding: 8px; font-size: 18px; }
span { text-transform: uppercase; }
.top { background: #24292f; color: #fff; padding: 14px 24px; margin: 0; font-size: 20px; }
.top a { color: #c9d1d9; margin-left: 18px; font-size: 14px; text-decoration: none; }
.wrap { display: flex; gap: 18px; padding: 10px 24px; margin: 0; }
.main { flex: 3; }
.side { flex: 1; background: #fff; padding: 14px; border-radius: 6px; }
.card { background: #fff; padding: 14px 18px; border-radius: 6px; box-shadow: 0 1px 2px #ccc; }
.card h3 { margin: 0 0 4px 0; color: #0b57d0; }
.price { color: #d93025; font-weight: bold; }
</style></head>
<body>
<div class="top">示例商城 <a href="#">首页</a><a href="#">分类</a><a href="#">购物车</a><a href="#">我的订单</a></div>
<div class="wrap">
 <div class="main">
  <div class="card"><h3 id="item1">无线降噪耳机 Pro</h3>主动降噪, 30 小时续航, 支持快充。<div class="price">¥ 899</div></div>
  <div class="card"><h3>机械键盘 87 键</h3>热插拔轴体, 三模连接, 铝合金外壳。<div class="price">¥ 459</div></div>
  <div class="card"><h3>便携显示器 15.6 寸</h3>1080P IPS 面板, Type-C 一线连接。<div class="price">¥ 1099</div></div>
  <div class="card"><h3>移动电源 20000mAh</h3>双向快充, 可上飞机。<div class="price">¥ 159</div></div>
 </div>
 <div class="side"><b>搜索商品</b><br><input type="text" value="耳机"><br><span>hot</span> 热门: 耳机 键盘 显示器
  <p>本周特价商品每天上午十点更新, 数量有限, 先到先得。</p></div>
</div>
</body></html>
)HTML";

const char* const kBoard = R"XML(<list style="default">
<item><id>btnStart</id><show>开始采集</show><click>start()</click><style>tvButtonMain</style></item>
<item><id>btnNext</id><show>下一页</show><click>next()</click><style>tvButton</style></item>
<item><id>btnExport</id><show>导出结果</show><click>save()</click><style>tvButton</style></item>
<line/>
<enter><id>keyword</id><show>耳机</show><style>tvEnter</style></enter>
<label><id>result</id><show>已采集 12 条, 第 2 页</show><style>tvLabel</style></label>
<label><id>tip</id><show>提示: 先在左侧输入关键词</show><style>tvNote</style></label>
</list>)XML";

const char* const kCode = "function start(){document.getElementById('result').innerHTML='开始';}";

bool load(platform::WebBrowser* wb, const QString& url) {
    QSignalSpy done(wb, &platform::WebBrowser::DocumentComplete);
    wb->Navigate(url);
    return done.wait(15000);
}

void settle(int ms) {
    QTest::qWait(ms);
}

void shootWindows(const QString& outDir, QTextStream& out) {
    WindowTour tour;
    tour.run([&](const QString& name, QWidget* window) {
        const QString file = outDir + "/window-" + name + ".png";
        const bool saved = window && window->grab().save(file);
        out << (saved ? file : QStringLiteral("(not saved) ") + file) << "\n";
        if (window)
            for (const QString& clipped : clippedCaptions(window))
                out << "  clipped " << clipped << "\n";
        out.flush();
    });
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    const QString outDir =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(outDir);
    QTextStream out(stdout);
    const QString part = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (part.isEmpty() || part == QLatin1String("windows")) shootWindows(outDir, out);
    if (!part.isEmpty() && part != QLatin1String("pages")) return 0;

    TestServer server;
    server.page("/site.html", kSite);
    QWidget window;
    window.resize(1100, 720);
    auto* wb = new platform::WebBrowser(&window);
    wb->setGeometry(0, 0, 1100, 720);
    wb->show();
    window.show();

    XmlDocument boardDoc;
    boardDoc.loadXML(QString::fromUtf8(kBoard));
    const XmlNode board = boardDoc.documentElement();
    const QString data = sourceDataFolder("velmora");
    const QString panel = ScriptModule::readTextFile(data + "/Brannet.dll");

    const QStringList skins =
        QDir(data + "/css").entryList({QStringLiteral("*.skin")}, QDir::Files, QDir::Name);
    for (const QString& file : skins) {
        const QString name = QFileInfo(file).baseName();
        const QString skin = ScriptModule::readTextFile(data + "/css/" + file);

        if (!load(wb, server.url("/site.html"))) {
            out << name << ": page did not load\n";
            continue;
        }
        const platform::PageDocument doc = wb->Document();
        QElapsedTimer t;
        t.start();
        skinModule::applySkinAndRunScript(doc, skin, board, QString::fromUtf8(kCode));
        const qint64 dressMs = t.restart();
        skinModule::injectAnalysisPanel(doc, panel);
        const qint64 panelMs = t.elapsed();
        doc.evaluate(QStringLiteral(
            "(function(){evtMenuOnmouseMove(document.getElementById('btnNext'));"
            "document.getElementById('item1').dispatchEvent(new MouseEvent('mousemove',"
            "{bubbles:true}));var e=document.getElementById('vpEval');"
            "if(e){e.value='el.tagName';"
            "e.dispatchEvent(new KeyboardEvent('keydown',{key:'Enter'}));}return 0;})()"));
        // One failing run, so that the panel's error list shows something.
        skinModule::execInPage(doc, QStringLiteral("benchRunner"), QStringLiteral("javascript"),
                               QStringLiteral("collectPage(2);"));
        settle(600);
        const QString pagePng = outDir + "/" + name + "-page.png";
        const bool pageSaved = wb->grab().save(pagePng);

        // Both folded to their handles, as a user clears the page.
        doc.evaluate(QStringLiteral(
            "(function(){['velmoraBoardFold','vpFold'].forEach(function(id){"
            "var e=document.getElementById(id);if(!e)return;"
            "['mousedown','mouseup'].forEach(function(t){e.dispatchEvent(new MouseEvent(t,"
            "{bubbles:true,button:0}));});});return 0;})()"));
        settle(300);
        wb->grab().save(outDir + "/" + name + "-folded.png");

        // The preview: the dressed skin text as a page of its own.
        QString dressed = skin;
        dressed.replace(QStringLiteral("$BoardTemplate$"), skinModule::buildBoardHtml(board));
        server.page("/preview-" + name.toUtf8() + ".html", dressed.toUtf8());
        QString previewPng;
        if (load(wb, server.url("/preview-" + name + ".html"))) {
            settle(400);
            previewPng = outDir + "/" + name + "-preview.png";
            if (!wb->grab().save(previewPng)) previewPng.clear();
        }
        out << name << ": dressing " << dressMs << " ms, panel " << panelMs << " ms; "
            << (pageSaved ? pagePng : QStringLiteral("(page not saved)")) << " "
            << (previewPng.isEmpty() ? QStringLiteral("(preview not saved)") : previewPng) << "\n";
        out.flush();
    }
    return 0;
}
