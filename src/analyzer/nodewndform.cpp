#include "analyzer/nodewndform.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTreeWidget>
#include <algorithm>
#include <iterator>
#include <memory>

#include "analyzer/analysiswndform.h"
#include "analyzer/nodetree.h"
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

// The tree view of the node window. A press of the mouse selects the node under it before
// the click that writes its expression, so the selection a press makes is left to the click.
class NodeTree : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;
    bool inMousePress = false;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        inMousePress = true;
        QTreeWidget::mousePressEvent(event);
        inMousePress = false;
    }
};

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

void nodeWndForm::onResize() {
    layoutControls();
}

// The design places are the least the controls get; a larger window gives the tree two thirds
// of the height it adds and the script box one third, and both all of the width it adds.
void nodeWndForm::layoutControls() {
    const int wider = std::max(0, scaleWidth() - 8715);
    const int taller = std::max(0, scaleHeight() - 4875);
    const int treeTaller = taller * 2 / 3;
    const int scriptTaller = taller - treeTaller;
    platform::placeTwips(control<QWidget>(QStringLiteral("nodeTV")), 120, 120, 4695 + wider,
                         2775 + treeTaller);
    platform::placeTwips(control<QWidget>(QStringLiteral("mainFrame")), 4920 + wider, 0, 3735,
                         2895 + treeTaller);
    platform::placeTwips(control<QWidget>(QStringLiteral("TabStrip1")), 120, 3000 + treeTaller,
                         8535 + wider, 1095);
    for (const char* frame : {"showFrame", "ctrlFrame"})
        platform::placeTwips(control<QWidget>(QString::fromLatin1(frame)), 240, 3360 + treeTaller,
                             8295 + wider, 615);
    platform::placeTwips(control<QWidget>(QStringLiteral("scriptText")), 120, 4200 + treeTaller,
                         7215 + wider, 495 + scriptTaller);
    platform::placeTwips(control<QWidget>(QStringLiteral("runCommand")), 7440 + wider,
                         4200 + treeTaller, 1215, 495);
}

void nodeWndForm::makeControls(QWidget* window) {
    auto* tree = new NodeTree(window);
    tree->setObjectName(QStringLiteral("nodeTV"));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    // Every row is one line: the view need not measure the rows of a long tree one by one.
    tree->setUniformRowHeights(true);
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
    // A node selected with the keys writes its expression as a click does.
    connect(tree, &QTreeWidget::itemSelectionChanged, this, [this, tree] {
        if (tree->inMousePress) return;
        const QList<QTreeWidgetItem*> selected = tree->selectedItems();
        if (selected.size() == 1) onNodeClick(selected.first());
    });
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
    const int before = build_;
    const platform::PageResult r = showWB(viewer.elementInUse());
    // A document without an html element has no tree to show, and a build the user ended or
    // started anew has nothing to say; any other failure is told.
    if (r.ok || build_ != before + 1 || abandoned_ || !isLoaded() ||
        r.error == platform::pagetext::nullElement())
        return;
    platform::messageBox(QStringLiteral("无法取得页面的文档树: ") + r.error,
                         platform::MsgButtons::Ok, QStringLiteral("提示"), platform::MsgIcon::None,
                         widget());
}

platform::PageResult nodeWndForm::showWB(platform::WebBrowser* wb) {
    const int build = ++build_;
    abandoned_ = false;
    platform::PageResult r;
    QPointer<QTreeWidget> tree = control<QTreeWidget>(QStringLiteral("nodeTV"));
    if (!tree) {
        r.error = QStringLiteral("no tree");
        return r;
    }
    tree->clear();
    // Whether the user has moved on meanwhile: closed this window or the page viewer, gone to
    // another address, or pressed the load button again. A call that failed for that reason
    // ends the build without a word.
    auto userMovedOn = [&] {
        return build != build_ || !tree || !isLoaded() || status_ != completeText() ||
               !analysisWndForm::instance().isLoaded();
    };
    auto failed = [&](platform::PageResult result) {
        result.ok = false;
        if (userMovedOn()) abandoned_ = true;
        if (result.error.isEmpty()) result.error = platform::pagetext::noPage();
        return result;
    };
    if (!wb) return failed(r);
    const platform::PageDocument doc = wb->Document(&r);
    if (!r.ok) return failed(r);
    const QString place = doc.evaluate(nodeTree::startExpression(), &r).toString();
    if (!r.ok) return failed(r);
    if (place.isEmpty()) {
        r.error = platform::pagetext::nullElement();
        return failed(r);
    }
    // A document type node ahead of the html element takes place 0 among the document's
    // children; the root's path counts it so that every expression reaches its element.
    QString rootKey = kRootKey;
    if (place.toInt() > 0) rootKey = QStringLiteral(".childNodes[") + place + QLatin1Char(']');

    nodeTree::TreeBuilder builder(rootKey);
    const QString slice = nodeTree::sliceExpression(kSliceBudgetMs);
    for (;;) {
        const QVariantList nodes = doc.evaluate(slice, &r).toList();
        if (!r.ok) return failed(r);
        const QString texts = nodes.value(2).toString();
        if (nodes.size() != 3 || !builder.feed(nodes.at(1).toByteArray(), texts)) {
            r.error = platform::pagetext::stale();
            return failed(r);
        }
        if (nodes.at(0).toString() == QLatin1String("E")) break;
        // Between two slices the window answers its user.
        QCoreApplication::processEvents();
        if (userMovedOn()) return failed(r);
    }
    if (QTreeWidgetItem* root = builder.takeRoot()) {
        tree->addTopLevelItem(root);
        root->setExpanded(true);
    }
    r.ok = true;
    r.error.clear();
    return r;
}

void nodeWndForm::onNodeClick(QTreeWidgetItem* item) {
    if (!item) return;
    QString base;
    QString text;
    if (item->text(0).startsWith(QLatin1Char('#'))) {
        // The node's own text, reached through its place under its parent element, which is
        // what gets outlined.
        QTreeWidgetItem* parent = item->parent();
        base = nodeKey::baseExpression(keyOf(parent));
        const int place = parent ? parent->indexOfChild(item) : 0;
        text = base + QStringLiteral(".childNodes[") + QString::number(place) +
               QStringLiteral("].nodeValue");
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
