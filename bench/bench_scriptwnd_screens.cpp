// Renders the script window's three tabs to PNG files offscreen, so that the look can be judged
// by eye, and prints how long the window took to open and to take a script.
//
//   bench_scriptwnd_screens [output folder]      (default: ./screenshots)
//
// Writes scriptwnd-properties.png, scriptwnd-code.png and scriptwnd-board.png (the board tab
// after its preview has loaded), each at the window's minimum size, and
// scriptwnd-board-large.png at a larger size, to show what follows the window's size.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextStream>

#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptwndform.h"
#include "workbench/skineditpanel.h"

namespace {

const char* const kBoard = R"XML(<list style="default">
<item><id>btnStart</id><show>开始采集</show><click>start()</click><style>tvButtonMain</style></item>
<item><id>btnNext</id><show>下一页</show><click>next()</click><style>tvButton</style></item>
<line/>
<enter><id>keyword</id><show>耳机</show><style>tvEnter</style></enter>
<label><id>result</id><show>已采集 0 条</show><style>tvLabel</style></label>
</list>)XML";

const char* const kCode =
    "// 采集商品列表\n"
    "function start(){\n"
    "  var box = document.getElementById('keyword');\n"
    "  if (box.value == '') { alert('请输入关键词'); return; }\n"
    "  document.getElementById('result').innerHTML = '开始采集: ' + box.value;\n"
    "}\n"
    "function next(){\n"
    "  var links = document.getElementsByTagName('a');\n"
    "  for (var i = 0; i < links.length; i++) {\n"
    "    if (links[i].innerHTML == '下一页') { links[i].click(); break; }\n"
    "  }\n"
    "}\n";

void fillDocument() {
    ScriptModule::clearScriptDocument();
    ScriptDocument& doc = ScriptModule::scriptDocument();
    doc.name = QStringLiteral("商品采集助手");
    doc.author = QStringLiteral("Velmora 工作室");
    doc.home = QStringLiteral("http://www.velmora.example/script/collect");
    doc.toolPop = QStringLiteral("按关键词采集商品列表");
    doc.information = QStringLiteral(
        "在商品列表页输入关键词, 点击\"开始采集\"后逐页读取商品名称与价格。\n"
        "支持翻页, 采集结果显示在面板下方。");
    doc.script = QString::fromUtf8(kCode);
    doc.include = {QStringLiteral("jquery")};
    doc.target = {QStringLiteral("http://shop.example/list"),
                  QStringLiteral("http://shop.example/search"),
                  QStringLiteral("http://m.shop.example/")};
    static XmlDocument board;
    board.loadXML(QString::fromUtf8(kBoard));
    doc.list = board.documentElement();
}

bool save(QWidget* window, const QString& file, QTextStream& out) {
    QCoreApplication::processEvents();
    QTest::qWait(150);
    const bool ok = window->grab().save(file);
    out << (ok ? file : QStringLiteral("(not saved) ") + file) << "\n";
    return ok;
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

    TestProgramFolder folder(QStringLiteral("velmora"));
    ScriptModule::setPluginCollection({QStringLiteral("jquery=http://x.example/jquery.js"),
                                       QStringLiteral("json2=http://x.example/json2.js"),
                                       QStringLiteral("md5=http://x.example/md5.js")});
    fillDocument();
    // An icon picture of the script, shown by the properties tab's preview button.
    QImage icon(64, 64, QImage::Format_RGB32);
    {
        QPainter p(&icon);
        QLinearGradient g(0, 0, 64, 64);
        g.setColorAt(0, QColor(0x3a, 0x8e, 0xd8));
        g.setColorAt(1, QColor(0x26, 0xa6, 0x9a));
        p.fillRect(icon.rect(), g);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setPixelSize(30);
        f.setBold(true);
        p.setFont(f);
        p.drawText(icon.rect(), Qt::AlignCenter, QStringLiteral("采"));
    }
    const QString iconFile = folder.file("icon.jpg");
    icon.save(iconFile, "JPG");
    ScriptModule::scriptDocument().icon = iconFile;

    ScriptWndForm& wnd = ScriptWndForm::instance();
    QElapsedTimer t;
    t.start();
    wnd.show();
    const qint64 openMs = t.restart();
    wnd.setBoard(1);
    const qint64 loadMs = t.elapsed();
    QWidget* window = wnd.widget();
    out << "open " << openMs << " ms, setBoard " << loadMs << " ms\n";

    wnd.control<QListWidget>(QStringLiteral("urlPoolList"))->setCurrentRow(1);
    wnd.control<QWidget>(QStringLiteral("baseAttributeFrame"))
        ->findChild<QPushButton*>(QStringLiteral("previewCommand"))
        ->click();
    save(window, outDir + "/scriptwnd-properties.png", out);

    wnd.control<QTabWidget>(QStringLiteral("TabBoard"))->setCurrentIndex(1);
    save(window, outDir + "/scriptwnd-code.png", out);

    wnd.control<QTabWidget>(QStringLiteral("TabBoard"))->setCurrentIndex(2);
    SkinEditPanel* skin = wnd.skinEdit();
    skin->findChild<QListWidget*>(QStringLiteral("itemList"))->setCurrentRow(0);
    auto* preview = skin->findChild<platform::WebBrowser*>(QStringLiteral("previewWB"));
    QSignalSpy done(preview, &platform::WebBrowser::DocumentComplete);
    t.restart();
    skin->findChild<QPushButton*>(QStringLiteral("previewCommand"))->click();
    const bool loaded = done.wait(15000);
    out << "preview "
        << (loaded ? QString::number(t.elapsed()) + " ms" : QStringLiteral("timed out")) << "\n";
    QTest::qWait(500);
    save(window, outDir + "/scriptwnd-board.png", out);

    window->resize(1200, 820);
    QTest::qWait(500);
    save(window, outDir + "/scriptwnd-board-large.png", out);
    out.flush();
    return 0;
}
