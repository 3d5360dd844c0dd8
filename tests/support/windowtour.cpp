#include "support/windowtour.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "analyzer/analysiswndform.h"
#include "analyzer/nodewndform.h"
#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/xmldocument.h"
#include "livepage/browserhost.h"
#include "livepage/debugwndform.h"
#include "livepage/recordwndform.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "player/tolvarboxform.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/aboutwndform.h"
#include "workbench/configwndform.h"
#include "workbench/mainwndform.h"
#include "workbench/makeboxform.h"
#include "workbench/savewndform.h"
#include "workbench/scriptwndform.h"
#include "workbench/searchwndform.h"
#include "workbench/sharewndform.h"
#include "workbench/updatewndform.h"

namespace {

const char* const kShop = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>示例商城</title>
<style>
body { margin: 0; font: 14px/1.7 sans-serif; color: #333; background: #f2f2f2; }
.top { background: #24292f; color: #fff; padding: 12px 20px; font-size: 18px; }
.top a { color: #c9d1d9; margin-left: 16px; font-size: 13px; text-decoration: none; }
.card { background: #fff; margin: 10px 20px; padding: 10px 16px; border-radius: 6px; }
.card h3 { margin: 0 0 4px 0; color: #0b57d0; }
.price { color: #d93025; font-weight: bold; }
</style></head>
<body>
<div class="top">示例商城 <a href="#">首页</a><a href="#">分类</a><a href="#">购物车</a></div>
<div class="card"><h3 id="item1">无线降噪耳机 Pro</h3>主动降噪, 30 小时续航。<div class="price">¥ 899</div></div>
<div class="card"><h3>机械键盘 87 键</h3>热插拔轴体, 三模连接。<div class="price">¥ 459</div></div>
<div class="card"><h3>便携显示器 15.6 寸</h3>1080P IPS 面板。<div class="price">¥ 1099</div></div>
<div class="card"><h3>移动电源 20000mAh</h3>双向快充, 可上飞机。<div class="price">¥ 159</div></div>
<p><input id="q" type="text" value="耳机"> <button id="go">搜索</button></p>
</body></html>
)HTML";

const char* const kBoard = R"XML(<list style="default">
<item><id>btnStart</id><show>开始采集</show><click>start()</click><style>tvButtonMain</style></item>
<item><id>btnNext</id><show>下一页</show><click>next()</click><style>tvButton</style></item>
<line/>
<enter><id>keyword</id><show>耳机</show><style>tvEnter</style></enter>
<label><id>result</id><show>已采集 0 条</show><style>tvLabel</style></label>
</list>)XML";

const char* const kCode =
    "// 采集商品列表\r\n"
    "function start(){\r\n"
    "  var box = document.getElementById('keyword');\r\n"
    "  document.getElementById('result').innerHTML = '开始采集: ' + box.value;\r\n"
    "}\r\n"
    "function next(){\r\n"
    "  document.getElementById('go').click();\r\n"
    "}\r\n";

void settle(int ms = 150) {
    QCoreApplication::processEvents();
    QTest::qWait(ms);
}

bool navigate(platform::WebBrowser* wb, const QString& url) {
    if (!wb) return false;
    QSignalSpy done(wb, &platform::WebBrowser::DocumentComplete);
    wb->Navigate(url);
    return done.wait(15000);
}

void fillDocument() {
    ScriptModule::clearScriptDocument();
    ScriptDocument& doc = ScriptModule::scriptDocument();
    doc.name = QStringLiteral("商品采集助手");
    doc.author = QStringLiteral("Velmora 工作室");
    doc.home = QStringLiteral("http://www.velmora.example/script/collect");
    doc.toolPop = QStringLiteral("按关键词采集商品列表");
    doc.information =
        QStringLiteral("在商品列表页输入关键词, 点击\"开始采集\"后逐页读取商品名称与价格。");
    doc.script = QString::fromUtf8(kCode);
    doc.include = {QStringLiteral("jquery")};
    doc.target = {QStringLiteral("http://127.0.0.1"), QStringLiteral("http://shop.example/list")};
    static XmlDocument board;
    board.loadXML(QString::fromUtf8(kBoard));
    doc.list = board.documentElement();
}

// Shows a modal dialog through open(), hands it to visit while it shows, then closes it.
void visitModal(const QString& name, const WindowTour::Visitor& visit,
                const std::function<void()>& open) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, name, &visit] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        settle(200);
        visit(name, dialog);
        dialog->reject();
    });
    poll->start();
    platform::setDialogsAutomatic(false);
    open();
    platform::setDialogsAutomatic(true);
    delete poll;
}

}  // namespace

struct WindowTour::State {
    TestServer server;
    std::unique_ptr<TestProgramFolder> folder;
};

WindowTour::WindowTour() : d_(std::make_unique<State>()) {
    d_->server.page("/shop.html", kShop);
    d_->server.page("/plugin.txt",
                    "jquery=http://127.0.0.1/jquery.js\r\njson2=http://127.0.0.1/json2.js\r\n");
    d_->server.page("/total.htm", "<html><body></body></html>");
    d_->server.page("/", "<html><body></body></html>");
}

WindowTour::~WindowTour() = default;

QStringList WindowTour::stops() {
    return {QStringLiteral("MainWndForm"),     QStringLiteral("ConfigWndForm"),
            QStringLiteral("AboutWndForm"),    QStringLiteral("SaveWndForm"),
            QStringLiteral("UpdateWndForm"),   QStringLiteral("ScriptWndForm"),
            QStringLiteral("MakeBoxForm"),     QStringLiteral("ShareWndForm"),
            QStringLiteral("SearchWndForm"),   QStringLiteral("RecordWndForm"),
            QStringLiteral("DebugWndForm"),    QStringLiteral("TolvarBoxForm"),
            QStringLiteral("analysisWndForm"), QStringLiteral("nodeWndForm"),
            QStringLiteral("messageBox"),      QStringLiteral("inputBox"),
            QStringLiteral("openFileDialog"),  QStringLiteral("saveFileDialog"),
            QStringLiteral("errorPage")};
}

void WindowTour::run(const Visitor& visit) {
    TestServer& server = d_->server;
    const QByteArray site = "[site]\r\nforumHost=" + server.base().toLatin1() +
                            "\r\nmainHost=" + server.base().toLatin1() +
                            "\r\nrequestTimeoutMs=3000\r\n";
    const QString page = server.url(QStringLiteral("/shop.html"));
    auto stop = [&](platform::Form& form, const QString& name) {
        settle();
        visit(name, form.widget());
        form.hide();
    };

    // ---- Velmora
    d_->folder = std::make_unique<TestProgramFolder>(QStringLiteral("velmora"));
    writeBytes(d_->folder->file("site.ini"), site);
    MainWndForm& main = MainWndForm::instance();
    main.setQuitOnClose(false);
    main.show();
    if (auto* list = main.control<QListWidget>(QStringLiteral("ListFile"))) {
        if (list->count() > 0) {
            const QRect r = list->visualItemRect(list->item(0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        }
    }
    stop(main, QStringLiteral("MainWndForm"));

    ConfigWndForm::instance().show();
    ConfigWndForm::instance().setData(0);
    stop(ConfigWndForm::instance(), QStringLiteral("ConfigWndForm"));
    AboutWndForm::instance().show();
    stop(AboutWndForm::instance(), QStringLiteral("AboutWndForm"));
    SaveWndForm::instance().show();
    stop(SaveWndForm::instance(), QStringLiteral("SaveWndForm"));
    UpdateWndForm::instance().show();
    UpdateWndForm::instance().setData(QStringLiteral("3.1"),
                                      server.url("/download/VelmoraV3.1.zip"));
    stop(UpdateWndForm::instance(), QStringLiteral("UpdateWndForm"));

    ScriptModule::setPluginCollection({QStringLiteral("jquery=http://127.0.0.1/jquery.js"),
                                       QStringLiteral("json2=http://127.0.0.1/json2.js")});
    fillDocument();
    ScriptWndForm& script = ScriptWndForm::instance();
    script.show();
    script.setBoard(1);
    stop(script, QStringLiteral("ScriptWndForm"));
    script.show();  // the debugger reads its panels; it stays loaded

    MakeBoxForm::instance().show();
    MakeBoxForm::instance().setBoxData(QString(), QStringLiteral("常用工具"),
                                       QStringLiteral("页面标题"));
    stop(MakeBoxForm::instance(), QStringLiteral("MakeBoxForm"));
    ScriptModule::scriptDocument().currentScriptPath =
        d_->folder->file(QStringLiteral("script/常用工具/页面标题.txt"));
    ShareWndForm::instance().show();
    stop(ShareWndForm::instance(), QStringLiteral("ShareWndForm"));
    SearchWndForm::instance().setKindWord(SearchWndForm::workbenchKind());
    SearchWndForm::instance().show();
    stop(SearchWndForm::instance(), QStringLiteral("SearchWndForm"));

    RecordWndForm& recorder = RecordWndForm::instance();
    recorder.show();
    navigate(recorder.host().elementInUse(), page);
    stop(recorder, QStringLiteral("RecordWndForm"));
    DebugWndForm& debugger = DebugWndForm::instance();
    debugger.show();
    navigate(debugger.host().elementInUse(), page);
    settle(400);
    stop(debugger, QStringLiteral("DebugWndForm"));
    script.hide();

    // ---- Zandrel
    d_->folder = std::make_unique<TestProgramFolder>(QStringLiteral("zandrel"));
    writeBytes(d_->folder->file("site.ini"), site);
    TolvarBoxForm& player = TolvarBoxForm::instance();
    player.registerComponent = [](const QString&) {};
    player.showSearchWindow = [] {};
    player.show();
    settle(800);
    stop(player, QStringLiteral("TolvarBoxForm"));

    // ---- Quillon
    analysisWndForm& viewer = analysisWndForm::instance();
    nodeWndForm& nodes = nodeWndForm::instance();
    viewer.show();
    if (platform::WebBrowser* wb = viewer.host().elementInUse()) {
        if (auto* address = viewer.control<QLineEdit>(QStringLiteral("Text1")))
            address->setText(page);
        navigate(wb, page);
    }
    settle();
    visit(QStringLiteral("analysisWndForm"), viewer.widget());
    if (auto* load = nodes.control<QAbstractButton>(QStringLiteral("Command1"))) load->click();
    if (auto* tree = nodes.control<QTreeWidget>(QStringLiteral("nodeTV"))) {
        if (!QTest::qWaitFor([tree] { return tree->topLevelItemCount() > 0; }, 10000)) return;
        tree->expandToDepth(1);
    }
    settle();
    visit(QStringLiteral("nodeWndForm"), nodes.widget());
    nodes.hide();
    viewer.hide();

    // ---- Qt's dialogs as the programs show them
    visitModal(QStringLiteral("messageBox"), visit, [] {
        platform::messageBox(QStringLiteral("删除后无法恢复,确定要继续么?"),
                             platform::MsgButtons::YesNo);
    });
    visitModal(QStringLiteral("inputBox"), visit, [] {
        platform::inputBox(QStringLiteral("请在下面输入新建的目录名称"),
                           QStringLiteral("新建目录"));
    });
    visitModal(QStringLiteral("openFileDialog"), visit, [this] {
        platform::openFileDialog(QStringLiteral("选择图标"),
                                 QStringLiteral("图片文件|*.jpg;*.gif;*.bmp"), d_->folder->path());
    });
    visitModal(QStringLiteral("saveFileDialog"), visit, [this] {
        platform::saveFileDialog(QStringLiteral("导出盒子"), QStringLiteral("盒子文件|*.tvb"),
                                 d_->folder->path(), QStringLiteral("新盒子.tvb"));
    });

    // ---- the engine's own error page
    QTcpServer closed;
    quint16 port = 1;
    if (closed.listen(QHostAddress::LocalHost)) {
        port = closed.serverPort();
        closed.close();
    }
    QWidget window;
    window.setObjectName(QStringLiteral("errorPage"));
    window.resize(800, 500);
    auto* wb = new platform::WebBrowser(&window);
    wb->setGeometry(0, 0, 800, 500);
    window.show();
    navigate(wb, QStringLiteral("http://127.0.0.1:%1/").arg(port));
    settle(600);
    visit(QStringLiteral("errorPage"), &window);
}
