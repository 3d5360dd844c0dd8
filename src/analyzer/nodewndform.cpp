#include "analyzer/nodewndform.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTreeWidget>
#include <iterator>

#include "analyzer/analysiswndform.h"
#include "livepage/pageinjection.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"

namespace {

const QString kJavaScript = QStringLiteral("javascript");
const QString kHideScriptId = QStringLiteral("VelmoraHideScript");
const QString kShowTab = QStringLiteral("显 示");
const QString kCtrlTab = QStringLiteral("操 作");
const QString kRootKey = QStringLiteral(".childNodes[0]");

struct Option {
    int index;
    const char* caption;
    int left;
    const char* before;  // text before the base expression
    const char* after;   // text after it
};

// Display tab, then operation tab.
const Option kShowOptions[] = {
    {10, "编 号", 120, "alert(", ".id)"},
    {11, "名 称", 960, "alert(", ".name)"},
    {12, "点 击", 1800, "alert(", ".attributes.getNamedItem('onclick').value)"},
    {13, "改 变", 2640, "alert(", ".attributes.getNamedItem('onchange').value)"},
    {14, "按 键", 3480, "alert(", ".attributes.getNamedItem('onkeypress').value)"},
    {15, "鼠标滑入", 4320, "alert(", ".attributes.getNamedItem('onmouseover').value)"},
    {16, "鼠标滑出", 5400, "alert(", ".attributes.getNamedItem('onmouseout').value)"},
    {17, "inner", 6480, "alert(", ".innerHTML)"},
    {18, "outer", 7320, "alert(", ".outerHTML)"},
};
const Option kCtrlOptions[] = {
    {0, "点 击", 120, "", ".click()"},
    {1, "选 择", 1080, "", ".selected()"},
    {2, "输 入", 2040, "", ".value=''"},
    {3, "显 示", 3000, "", ".style.visibility='visible'"},
    {4, "隐 藏", 3960, "", ".style.visibility='hidden'"},
};

QString keyOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, nodeWndForm::kKeyRole).toString() : QString();
}

QString pathOf(const QString& key) {
    const int bar = key.indexOf(QLatin1Char('|'));
    return bar < 0 ? key : key.left(bar);
}

QTreeWidgetItem* addDomNode(QTreeWidget* tree, const platform::DomNode& node,
                            QTreeWidgetItem* parent, int index, const QString& rootKey) {
    QTreeWidgetItem* item = nullptr;
    if (!parent) {
        item = new QTreeWidgetItem(tree);
        item->setText(0, node.nodeName);
        item->setData(0, nodeWndForm::kKeyRole, rootKey);
    } else {
        item = new QTreeWidgetItem(parent);
        item->setText(0, node.nodeName);
        if (node.isText) {
            item->setText(0, QStringLiteral("#") + node.nodeValue);
        } else if (node.hasAttributes) {
            const QString path =
                !node.id.isEmpty()
                    ? QStringLiteral(".getElementById('") + node.id + QStringLiteral("')")
                    : pathOf(keyOf(parent)) + QStringLiteral(".childNodes[") +
                          QString::number(index) + QStringLiteral("]");
            // The suffix only keeps keys apart (two elements may share an id).
            item->setData(0, nodeWndForm::kKeyRole,
                          path + QStringLiteral("|") + nodeKey::singleText(platform::rnd()));
        }
    }
    for (int i = 0; i < node.children.size(); ++i)
        addDomNode(tree, node.children.at(i), item, i, rootKey);
    return item;
}

}  // namespace

namespace nodeKey {

QString singleText(double value) {
    QString text = QString::number(double(float(value)), 'g', 7);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    if (text.startsWith(QStringLiteral("0.")))
        text.remove(0, 1);
    else if (text.startsWith(QStringLiteral("-0.")))
        text.remove(1, 1);
    return text;
}

QString baseExpression(const QString& key) {
    return QStringLiteral("document") + pathOf(key);
}

}  // namespace nodeKey

nodeWndForm& nodeWndForm::instance() {
    static nodeWndForm* form = new nodeWndForm();
    return *form;
}

nodeWndForm::nodeWndForm()
    : platform::Form(QStringLiteral("nodeWndForm")), status_(completeText()) {}

QString nodeWndForm::completeText() {
    return QStringLiteral("完 成");
}

QString nodeWndForm::loadingText() {
    return QStringLiteral("加载中");
}

void nodeWndForm::setStatus(const QString& text) {
    status_ = text;
    if (auto* label = control<QLabel>(QStringLiteral("Label2"))) label->setText(text);
}

void nodeWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("分析窗口"));
    window->resize(platform::px(8715), platform::px(4875));
    makeControls(window);
    analysisWndForm::instance().show();
}

void nodeWndForm::makeControls(QWidget* window) {
    auto* tree = new QTreeWidget(window);
    tree->setObjectName(QStringLiteral("nodeTV"));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    platform::placeTwips(tree, 120, 120, 4695, 2775);

    auto* mainFrame = new QGroupBox(window);
    mainFrame->setObjectName(QStringLiteral("mainFrame"));
    platform::placeTwips(mainFrame, 4920, 0, 3735, 2895);
    auto* label1 = new QLabel(QStringLiteral("网页状态："), mainFrame);
    label1->setObjectName(QStringLiteral("Label1"));
    platform::placeTwips(label1, 240, 300, 1095, 255);
    auto* label2 = new QLabel(status_, mainFrame);
    label2->setObjectName(QStringLiteral("Label2"));
    platform::placeTwips(label2, 1200, 300, 855, 255);
    auto* load = new QPushButton(QStringLiteral("加 载"), mainFrame);
    load->setObjectName(QStringLiteral("Command1"));
    platform::placeTwips(load, 2280, 240, 1215, 375);

    auto* tabs = new QTabBar(window);
    tabs->setObjectName(QStringLiteral("TabStrip1"));
    tabs->addTab(kShowTab);
    tabs->addTab(kCtrlTab);
    tabs->setCurrentIndex(0);
    platform::placeTwips(tabs, 120, 3000, 8535, 1095);

    auto makeFrame = [window](const QString& name, const Option* options, int count) {
        auto* frame = new QGroupBox(window);
        frame->setObjectName(name);
        platform::placeTwips(frame, 240, 3360, 8295, 615);
        for (int i = 0; i < count; ++i) {
            const Option& o = options[i];
            auto* option = new QRadioButton(QString::fromUtf8(o.caption), frame);
            option->setObjectName(QStringLiteral("actionOption"));
            option->setProperty("Index", o.index);
            const int width = (o.index == 15 || o.index == 16) ? 1095 : 855;
            platform::placeTwips(option, o.left, 240, width, 255);
            if (i == 0) option->setChecked(true);
        }
        return frame;
    };
    makeFrame(QStringLiteral("showFrame"), kShowOptions, int(std::size(kShowOptions)));
    QGroupBox* ctrl =
        makeFrame(QStringLiteral("ctrlFrame"), kCtrlOptions, int(std::size(kCtrlOptions)));
    ctrl->hide();

    auto* script = new QPlainTextEdit(window);
    script->setObjectName(QStringLiteral("scriptText"));
    platform::placeTwips(script, 120, 4200, 7215, 495);
    auto* run = new QPushButton(QStringLiteral("执 行"), window);
    run->setObjectName(QStringLiteral("runCommand"));
    platform::placeTwips(run, 7440, 4200, 1215, 495);

    connect(load, &QPushButton::clicked, this, &nodeWndForm::onLoadClick);
    connect(tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { onNodeClick(item); });
    connect(run, &QPushButton::clicked, this, &nodeWndForm::onRunClick);
    connect(tabs, &QTabBar::currentChanged, this, [this](int) { onTabClick(); });
}

QRadioButton* nodeWndForm::actionOption(int index) const {
    if (!widget()) return nullptr;
    for (QRadioButton* option :
         widget()->findChildren<QRadioButton*>(QStringLiteral("actionOption")))
        if (option->property("Index").toInt() == index) return option;
    return nullptr;
}

void nodeWndForm::onLoadClick() {
    if (status_ != completeText()) {
        platform::messageBox(QStringLiteral("请等待加载完成"), platform::MsgButtons::Ok,
                             QStringLiteral("提示"), platform::MsgIcon::None, widget());
        return;
    }
    analysisWndForm& viewer = analysisWndForm::instance();
    // A page viewer the user closed comes back (element 0 only).
    if (!viewer.isLoaded()) viewer.show();
    showWB(viewer.elementInUse());
}

platform::PageResult nodeWndForm::showWB(platform::WebBrowser* wb) {
    platform::PageResult r;
    auto* tree = control<QTreeWidget>(QStringLiteral("nodeTV"));
    if (!tree) {
        r.error = QStringLiteral("no tree");
        return r;
    }
    tree->clear();
    if (!wb) {
        r.error = platform::pagetext::noPage();
        return r;
    }
    const platform::PageDocument doc = wb->Document(&r);
    if (!r.ok) return r;
    const platform::PageElement html = doc.getElementsByTagName(QStringLiteral("html"), 0, &r);
    if (!r.ok) return r;
    if (html.isNull()) {
        r.ok = false;
        r.error = platform::pagetext::nullElement();
        return r;
    }
    const platform::DomNode root = html.domTree(&r);
    if (!r.ok) return r;
    // A document type node ahead of the html element takes place 0 among the document's
    // children; the root's path counts it so that every expression reaches its element.
    QString rootKey = kRootKey;
    platform::PageResult place;
    const int at = doc.evaluate(QStringLiteral("Array.prototype.indexOf.call(document.childNodes,"
                                               "document.getElementsByTagName('html')[0])"),
                                &place)
                       .toInt();
    if (place.ok && at > 0)
        rootKey = QStringLiteral(".childNodes[") + QString::number(at) + QStringLiteral("]");
    addDomNode(tree, root, nullptr, 0, rootKey);
    tree->expandAll();
    return r;
}

void nodeWndForm::onNodeClick(QTreeWidgetItem* item) {
    if (!item) return;
    QString base;
    QString text;
    if (item->text(0).startsWith(QLatin1Char('#'))) {
        base = nodeKey::baseExpression(keyOf(item->parent()));
        text = base + QStringLiteral(".text");
    } else {
        base = nodeKey::baseExpression(keyOf(item));
        text = base;
        auto* tabs = control<QTabBar>(QStringLiteral("TabStrip1"));
        const QString tab = tabs ? tabs->tabText(tabs->currentIndex()) : QString();
        auto wrap = [&](const Option* options, int count) {
            for (int i = 0; i < count; ++i) {
                QRadioButton* option = actionOption(options[i].index);
                if (option && option->isChecked()) {
                    text = QString::fromUtf8(options[i].before) + base +
                           QString::fromUtf8(options[i].after);
                    return;
                }
            }
        };
        if (tab == kShowTab)
            wrap(kShowOptions, int(std::size(kShowOptions)));
        else if (tab == kCtrlTab)
            wrap(kCtrlOptions, int(std::size(kCtrlOptions)));
    }
    if (auto* script = control<QPlainTextEdit>(QStringLiteral("scriptText")))
        script->setPlainText(text + QStringLiteral(";"));
    if (!lastHighlight.isEmpty())
        execInPage(kJavaScript, lastHighlight + QStringLiteral(".style.border='';"));
    execInPage(kJavaScript, base + QStringLiteral(".style.border='2px solid blue';"));
    lastHighlight = base;
}

void nodeWndForm::onRunClick() {
    auto* script = control<QPlainTextEdit>(QStringLiteral("scriptText"));
    if (!script) return;
    execInPage(kJavaScript, script->toPlainText());
}

void nodeWndForm::onTabClick() {
    auto* tabs = control<QTabBar>(QStringLiteral("TabStrip1"));
    auto* show = control<QGroupBox>(QStringLiteral("showFrame"));
    auto* ctrl = control<QGroupBox>(QStringLiteral("ctrlFrame"));
    if (!tabs || !show || !ctrl) return;
    const QString tab = tabs->tabText(tabs->currentIndex());
    if (tab == kShowTab) {
        show->show();
        ctrl->hide();
    } else if (tab == kCtrlTab) {
        show->hide();
        ctrl->show();
    }
}

QString nodeWndForm::execInPage(const QString& language, const QString& code) {
    analysisWndForm& viewer = analysisWndForm::instance();
    if (!viewer.isLoaded()) viewer.show();
    platform::WebBrowser* inUse = viewer.elementInUse();
    if (!inUse) return platform::pagetext::noPage();
    platform::PageResult r;
    const platform::PageDocument doc = inUse->Document(&r);
    if (!r.ok) return r.error;
    return skinModule::execInPage(doc, kHideScriptId, language, code);
}
