#include "workbench/scriptwndform.h"

#include "workbench/toolpicture.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <optional>

#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/translate.h"
#include "platform/core/ansi.h"
#include "platform/dialogs.h"
#include "workbench/aboutwndform.h"
#include "workbench/configwndform.h"
#include "workbench/mainwndform.h"
#include "workbench/plaintextbox.h"
#include "workbench/savewndform.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptpicture.h"
#include "workbench/skineditpanel.h"

namespace {

const QString kGb2312 = QStringLiteral("gb2312");
const QString kNewAddress = QStringLiteral("http://");
const QString kIconFilter = QStringLiteral("BMP(*.bmp)|*.bmp|JPEG(*.jpg)|*.jpg|GIF(*.gif)|*.gif");

// Design positions, in twips.
constexpr int kToolsLeft = 120;
constexpr int kToolsTop = 60;
constexpr int kToolsHeight = 1095;
constexpr int kToolWidth = 855;
constexpr int kToolHeight = 975;
constexpr int kTabLeft = 120;
constexpr int kTabTop = kToolsTop + kToolsHeight + 60;
constexpr int kFrameLeft = kTabLeft + 100;
constexpr int kFrameTop = kTabTop + 420;
constexpr int kPanelLeft = 150;
constexpr int kPanelTop = 200;
constexpr int kRow = 300;

constexpr int kLeftLabel = 240;
constexpr int kLeftField = 840;
constexpr int kLeftFieldWidth = 2655;
constexpr int kRightLabel = 3720;
constexpr int kRightField = 4560;
constexpr int kRightFieldWidth = 5820;

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                  int width = 600) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    platform::placeTwips(label, left, top + 30, width, 255);
    return label;
}

QLineEdit* makeText(QWidget* parent, const QString& name, int left, int top, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    platform::placeTwips(edit, left, top, width, kRow);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width = 975) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    platform::placeTwips(button, left, top, width, 375);
    return button;
}

QFrame* makeFrame(QWidget* parent, const QString& name) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    platform::placeTwips(frame, kFrameLeft, kFrameTop, 10845, 6965);
    return frame;
}

// The plug-in names the code editor offers: the text before the first "=" of every line of
// the downloaded list that is not empty.
QStringList offeredPluginNames() {
    QStringList names;
    if (!ScriptModule::pluginCollectionExists()) return names;
    for (const QString& line : ScriptModule::pluginCollection())
        if (!line.isEmpty()) names << line.section(QLatin1Char('='), 0, 0);
    return names;
}

// Tells which characters of the document GBK lacks, which the file would keep as "?", and
// lets the user go back to change them. True when the save goes on.
bool keepsItsCharacters(const ScriptDocument& doc, QWidget* parent) {
    const platform::AnsiTable& ansi = platform::AnsiTable::instance();
    const std::pair<const char16_t*, QString> fields[] = {
        {u"名称", doc.name},
        {u"作者", doc.author},
        {u"首页", doc.home},
        {u"提示", doc.toolPop},
        {u"介绍", doc.information},
        {u"图标", doc.icon},
        {u"地址池", doc.target.join(QLatin1Char('\n'))},
        {u"代码编辑", doc.script},
        {u"引入插件", doc.include.join(QLatin1Char('\n'))},
        {u"界面编辑", doc.list.isNull() ? QString() : doc.list.xml()},
    };
    qsizetype count = 0;
    QList<char32_t> lacking;
    QStringList where;
    for (const auto& [label, text] : fields) {
        bool here = false;
        for (const char32_t c : QStringView(text).toUcs4()) {
            if (ansi.holds(c)) continue;
            ++count;
            here = true;
            if (!lacking.contains(c)) lacking.append(c);
        }
        if (here) where << QString::fromUtf16(label);
    }
    if (count == 0) return true;
    constexpr qsizetype kExamples = 8;
    QStringList examples;
    for (qsizetype i = 0; i < std::min(kExamples, lacking.size()); ++i) {
        const char32_t c = lacking.at(i);
        // A character that shows nothing (a zero-width one, a lone half of a pair) by its code.
        const bool visible = QChar::isPrint(c) && QChar::category(c) != QChar::Separator_Space;
        examples << (visible ? QString::fromUcs4(&c, 1)
                             : QStringLiteral("U+") + QString::number(quint32(c), 16)
                                                          .toUpper()
                                                          .rightJustified(4, QLatin1Char('0')));
    }
    if (lacking.size() > kExamples) examples << QStringLiteral("…");
    const QString text =
        QStringLiteral("脚本中有%1个字符不在GBK编码中,保存后会变成\"?\":\n").arg(count) +
        examples.join(QLatin1Char(' ')) + QStringLiteral("\n位置:") +
        where.join(QStringLiteral("、")) + QStringLiteral("\n\n仍要保存吗?选\"否\"返回修改。");
    return platform::messageBox(text, platform::MsgButtons::YesNo, QStringLiteral("提示"),
                                platform::MsgIcon::Warning, parent) == platform::MsgAnswer::Yes;
}

// What clearing the document leaves: no content at all. A script loaded from a file of this
// program always has a board.
bool isClearedDocument(const ScriptDocument& doc) {
    return doc.name.isEmpty() && doc.home.isEmpty() && doc.information.isEmpty() &&
           doc.author.isEmpty() && doc.icon.isEmpty() && doc.toolPop.isEmpty() &&
           doc.script.isEmpty() && doc.list.isNull() && doc.target.isEmpty();
}

}  // namespace

ScriptWndForm& ScriptWndForm::instance() {
    static ScriptWndForm* form = new ScriptWndForm();
    return *form;
}

ScriptWndForm::ScriptWndForm() : platform::Form(QStringLiteral("ScriptWndForm")) {}

void ScriptWndForm::wireMainWindow() {
    MainWndForm::ToolWindows& w = MainWndForm::instance().windows;
    w.showScriptWindow = [] { ScriptWndForm::instance().show(); };
    w.setScriptBoard = [](int index) { ScriptWndForm::instance().setBoard(qint16(index)); };
    w.setConfigData = [](qint16 check) { ConfigWndForm::instance().setData(check); };
    w.showConfigWindow = [] { ConfigWndForm::instance().show(); };
    w.showAboutWindow = [] { AboutWndForm::instance().show(); };
}

// ---------------------------------------------------------------- creation

void ScriptWndForm::onLoad(QWidget* window) {
    openedOnClearedDocument_ = false;
    loadedInclude_.clear();
    lastIconFile_.clear();
    window->setWindowTitle(QStringLiteral("脚本编辑器"));
    window->resize(platform::px(kMinWidthTwips), platform::px(kMinHeightTwips));

    makeToolBar(window);
    makeTabs(window);

    TranslateModule::loadKeywords();
    codeTypeCombo_->setCurrentIndex(0);
    tabClicked(0);
    layoutControls();
}

void ScriptWndForm::makeToolBar(QWidget* window) {
    editToolsFrame_ = new QFrame(window);
    editToolsFrame_->setObjectName(QStringLiteral("editToolsFrame"));
    platform::placeTwips(editToolsFrame_, kToolsLeft, kToolsTop, kMinWidthTwips - 400,
                         kToolsHeight);

    struct Tool {
        const char* name;
        const char16_t* caption;
        QColor colour;
        void (ScriptWndForm::*action)();
    };
    const Tool tools[] = {
        {"saveCommand", u"保 存", QColor(0x3a, 0x8e, 0xd8), &ScriptWndForm::saveClicked},
        {"saveOtherCommand", u"另 存", QColor(0x26, 0xa6, 0x9a), &ScriptWndForm::saveOtherClicked},
        {"recordCommand", u"录 制", QColor(0xd8, 0x6a, 0x2e), nullptr},
        {"debugCommand", u"调 试", QColor(0x5c, 0x6b, 0xc0), nullptr},
        {"helpCommand", u"帮 助", QColor(0x78, 0x90, 0x9c), nullptr},
        {"analysisCommand", u"分 析", QColor(0x8d, 0x6e, 0x63), nullptr},
    };
    int left = 60;
    for (const Tool& tool : tools) {
        auto* button = new QToolButton(editToolsFrame_);
        button->setObjectName(QString::fromLatin1(tool.name));
        const QString caption = QString::fromUtf16(tool.caption);
        button->setText(caption);
        button->setIcon(QIcon(toolPicture(caption, tool.colour, 40)));
        button->setIconSize(QSize(40, 40));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        platform::placeTwips(button, left, 60, kToolWidth, kToolHeight);
        left += kToolWidth;
        if (tool.action) connect(button, &QToolButton::clicked, this, tool.action);
    }
    // The recorder and the debugger are other windows, wired by their own code.
    connect(editToolsFrame_->findChild<QToolButton*>(QStringLiteral("recordCommand")),
            &QToolButton::clicked, this, [this] {
                if (windows.showRecordWindow) windows.showRecordWindow();
            });
    connect(editToolsFrame_->findChild<QToolButton*>(QStringLiteral("debugCommand")),
            &QToolButton::clicked, this, [this] {
                if (windows.showDebugWindow) windows.showDebugWindow();
            });
    // Help has nothing to show yet; analysis is not offered.
    editToolsFrame_->findChild<QToolButton*>(QStringLiteral("helpCommand"))->setEnabled(false);
    editToolsFrame_->findChild<QToolButton*>(QStringLiteral("analysisCommand"))->hide();
}

void ScriptWndForm::makeTabs(QWidget* window) {
    tabBoard_ = new QTabWidget(window);
    tabBoard_->setObjectName(QStringLiteral("TabBoard"));
    for (const char16_t* caption : {u"基本属性", u"代码编辑", u"界面编辑"})
        tabBoard_->addTab(new QWidget(tabBoard_), QString::fromUtf16(caption));
    platform::placeTwips(tabBoard_, kTabLeft, kTabTop, kMinWidthTwips - 400,
                         kMinHeightTwips - kToolsHeight - 800);

    // The frames lie over the strip's body; exactly one shows.
    baseAttributeFrame_ = makeFrame(window, QStringLiteral("baseAttributeFrame"));
    codeEditFrame_ = makeFrame(window, QStringLiteral("codeEditFrame"));
    faceEditFrame_ = makeFrame(window, QStringLiteral("faceEditFrame"));

    scriptEdit_ = new ScriptEditPanel(codeEditFrame_);
    scriptEdit_->setObjectName(QStringLiteral("scriptEdit"));
    scriptEdit_->move(platform::px(kPanelLeft), platform::px(kPanelTop));
    skinEdit_ = new SkinEditPanel(faceEditFrame_);
    skinEdit_->setObjectName(QStringLiteral("skinEdit"));
    skinEdit_->move(platform::px(kPanelLeft), platform::px(kPanelTop));

    makePropertiesTab();
    connect(tabBoard_, &QTabWidget::currentChanged, this, &ScriptWndForm::tabClicked);
}

void ScriptWndForm::makePropertiesTab() {
    QFrame* f = baseAttributeFrame_;
    // Left column: name, author, encoding, the icon, and the address row with its buttons.
    makeLabel(f, QStringLiteral("scriptNameLabel"), QStringLiteral("名称:"), kLeftLabel, 240);
    scriptNameText_ =
        makeText(f, QStringLiteral("scriptNameText"), kLeftField, 240, kLeftFieldWidth);
    makeLabel(f, QStringLiteral("scriptAuthorLabel"), QStringLiteral("作者:"), kLeftLabel, 660);
    scriptAuthorText_ =
        makeText(f, QStringLiteral("scriptAuthorText"), kLeftField, 660, kLeftFieldWidth);
    makeLabel(f, QStringLiteral("codeTypeLabel"), QStringLiteral("编码:"), kLeftLabel, 1080);
    codeTypeCombo_ = new QComboBox(f);
    codeTypeCombo_->setObjectName(QStringLiteral("codeTypeCombo"));
    codeTypeCombo_->setEditable(false);
    codeTypeCombo_->addItem(kGb2312);
    codeTypeCombo_->setCurrentIndex(-1);
    platform::placeTwips(codeTypeCombo_, kLeftField, 1080, kLeftFieldWidth, kRow);

    scriptPicture_ = new QLabel(f);
    scriptPicture_->setObjectName(QStringLiteral("scriptPicture"));
    scriptPicture_->setFrameShape(QFrame::Box);
    scriptPicture_->setAlignment(Qt::AlignCenter);
    platform::placeTwips(scriptPicture_, kLeftLabel, 1560, 1095, 1095);

    pathOption0_ = new QRadioButton(QStringLiteral("本地路径"), f);
    pathOption0_->setObjectName(QStringLiteral("pathOption_0"));
    pathOption0_->setProperty("index", 0);
    platform::placeTwips(pathOption0_, 1560, 1800, 1935, kRow);
    pathOption1_ = new QRadioButton(QStringLiteral("网络路径"), f);
    pathOption1_->setObjectName(QStringLiteral("pathOption_1"));
    pathOption1_->setProperty("index", 1);
    platform::placeTwips(pathOption1_, 1560, 2220, 1935, kRow);
    pathOption0_->setChecked(true);
    connect(pathOption0_, &QRadioButton::clicked, this, [this] { pathOptionClicked(0); });
    connect(pathOption1_, &QRadioButton::clicked, this, [this] { pathOptionClicked(1); });

    scriptIconText_ = makeText(f, QStringLiteral("scriptIconText"), kLeftLabel, 2820, 3255);
    showPathCommand_ = makeButton(f, QStringLiteral("showPathCommand"), QStringLiteral("浏 览"),
                                  kLeftLabel, 3240, 1095);
    auto* preview =
        makeButton(f, QStringLiteral("previewCommand"), QStringLiteral("预 览"), 1560, 3240, 1095);
    connect(showPathCommand_, &QPushButton::clicked, this, &ScriptWndForm::showPathClicked);
    connect(preview, &QPushButton::clicked, this, &ScriptWndForm::previewIconClicked);

    makeLabel(f, QStringLiteral("urlLabel"), QStringLiteral("地址栏:"), kLeftLabel, 3900);
    urlText_ = makeText(f, QStringLiteral("urlText"), kLeftLabel, 4260, 3255);
    urlText_->setText(kNewAddress);
    auto* add =
        makeButton(f, QStringLiteral("addUrlCommand"), QStringLiteral("添 加"), kLeftLabel, 4680);
    auto* edit =
        makeButton(f, QStringLiteral("editUrlCommand"), QStringLiteral("修 改"), 1380, 4680);
    auto* del =
        makeButton(f, QStringLiteral("delEditCommand"), QStringLiteral("删 除"), 2520, 4680);
    connect(add, &QPushButton::clicked, this, &ScriptWndForm::addUrlClicked);
    connect(edit, &QPushButton::clicked, this, &ScriptWndForm::editUrlClicked);
    connect(del, &QPushButton::clicked, this, &ScriptWndForm::delUrlClicked);

    // Right column: home page, tip, the introduction and the address pool.
    makeLabel(f, QStringLiteral("scriptPageLabel"), QStringLiteral("首页:"), kRightLabel, 240);
    scriptPageText_ =
        makeText(f, QStringLiteral("scriptPageText"), kRightField, 240, kRightFieldWidth);
    makeLabel(f, QStringLiteral("scriptPopLabel"), QStringLiteral("提示:"), kRightLabel, 660);
    scriptPopText_ =
        makeText(f, QStringLiteral("scriptPopText"), kRightField, 660, kRightFieldWidth);
    makeLabel(f, QStringLiteral("scriptInfoLabel"), QStringLiteral("介绍:"), kRightLabel, 1080);
    scriptInfoText_ = new PlainTextBox(f);
    scriptInfoText_->setObjectName(QStringLiteral("scriptInfoText"));
    scriptInfoText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab goes on to the address pool, as in the one-line fields; Ctrl+Tab types a tab.
    scriptInfoText_->setTabChangesFocus(true);
    platform::placeTwips(scriptInfoText_, kRightField, 1080, kRightFieldWidth, 1995);

    makeLabel(f, QStringLiteral("urlPoolLabel"), QStringLiteral("地址池:"), kRightLabel, 3240, 825);
    urlPoolList_ = new QListWidget(f);
    urlPoolList_->setObjectName(QStringLiteral("urlPoolList"));
    urlPoolList_->setSelectionMode(QAbstractItemView::SingleSelection);
    platform::placeTwips(urlPoolList_, kRightField, 3240, kRightFieldWidth, 3015);
    // A click, or a change of the selected entry from the keyboard.
    connect(urlPoolList_, &QListWidget::currentRowChanged, this, &ScriptWndForm::urlPoolClicked);
    connect(urlPoolList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { urlPoolClicked(urlPoolList_->row(item)); });
}

// ---------------------------------------------------------------- public operations

void ScriptWndForm::setBoard(qint16 index) {
    load();
    if (tabBoard_ && index >= 1 && index <= 3) {
        tabBoard_->setCurrentIndex(index - 1);
        tabClicked(index - 1);
    }
    reLoadData();
}

void ScriptWndForm::reLoadData() {
    load();
    const ScriptDocument& doc = ScriptModule::scriptDocument();
    openedOnClearedDocument_ = isClearedDocument(doc);
    loadedInclude_ = doc.include;
    if (scriptNameText_) scriptNameText_->setText(doc.name);
    if (scriptAuthorText_) scriptAuthorText_->setText(doc.author);
    if (scriptPageText_) scriptPageText_->setText(doc.home);
    if (scriptPopText_) scriptPopText_->setText(doc.toolPop);
    if (scriptInfoText_) scriptInfoText_->setPlainText(doc.information);
    if (scriptIconText_) scriptIconText_->setText(doc.icon);

    if (urlPoolList_) {
        fillingPool_ = true;
        urlPoolList_->clear();
        urlPoolList_->addItems(doc.target.isEmpty() ? QStringList{kNewAddress} : doc.target);
        urlPoolList_->setCurrentRow(-1);
        fillingPool_ = false;
    }

    if (scriptEdit_) {
        scriptEdit_->setScriptText(doc.script);
        std::optional<QStringList> plugins;
        if (ScriptModule::pluginCollectionExists()) plugins = ScriptModule::pluginCollection();
        scriptEdit_->setScrtipHeadList(plugins, doc.include);
    }
    if (skinEdit_) skinEdit_->setSkinData(doc.list);
}

void ScriptWndForm::saveData() {
    load();
    ScriptDocument& doc = ScriptModule::scriptDocument();
    if (scriptNameText_) doc.name = scriptNameText_->text();
    if (scriptAuthorText_) doc.author = scriptAuthorText_->text();
    if (codeTypeCombo_) doc.encoding = codeTypeCombo_->currentText();
    if (scriptPageText_) doc.home = scriptPageText_->text();
    if (scriptPopText_) doc.toolPop = scriptPopText_->text();
    // Line ends in the file's texts are CR LF, as the code's are.
    if (scriptInfoText_)
        doc.information = PlainTextBox::plainLineBreaks(scriptInfoText_->toPlainText())
                              .replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (scriptIconText_) doc.icon = scriptIconText_->text();
    if (urlPoolList_) {
        QStringList target;
        for (int i = 0; i < urlPoolList_->count(); ++i) target << urlPoolList_->item(i)->text();
        doc.target = target;
    }
    if (scriptEdit_) {
        doc.script = scriptEdit_->getScriptText();
        // A plug-in the list does not offer (it could not be downloaded, or no longer names
        // it) could be neither seen nor unticked: the script keeps it.
        QStringList include = scriptEdit_->getScriptList();
        const QStringList offered = offeredPluginNames();
        for (const QString& name : loadedInclude_)
            if (!offered.contains(name) && !include.contains(name)) include << name;
        doc.include = include;
    }
    if (skinEdit_) doc.list = skinEdit_->getSkinData();
}

ScriptEditPanel* ScriptWndForm::scriptEdit() {
    load();
    return scriptEdit_;
}

SkinEditPanel* ScriptWndForm::skinEdit() {
    load();
    return skinEdit_;
}

bool ScriptWndForm::savesThroughDialog() const {
    return ScriptModule::scriptDocument().currentScriptPath.isEmpty() || openedOnClearedDocument_;
}

// ---------------------------------------------------------------- tool bar

void ScriptWndForm::saveClicked() {
    const bool throughDialog = savesThroughDialog();
    saveData();
    if (!keepsItsCharacters(ScriptModule::scriptDocument(), widget())) return;
    if (throughDialog) {
        SaveWndForm::instance().show();
        return;
    }
    // Success is silent; a failure is told, so that the user does not close the window
    // believing the edits are kept.
    ScriptModule::SaveFailure why = ScriptModule::SaveFailure::None;
    if (!ScriptModule::saveScriptFile(ScriptModule::scriptDocument().currentScriptPath, &why))
        platform::messageBox(why == ScriptModule::SaveFailure::Content
                                 ? SaveWndForm::unsavableScriptMessage()
                                 : QStringLiteral("脚本保存失败,请检查文件是否可写"),
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::Warning, widget());
}

void ScriptWndForm::saveOtherClicked() {
    saveData();
    if (!keepsItsCharacters(ScriptModule::scriptDocument(), widget())) return;
    SaveWndForm::instance().show();
}

// ---------------------------------------------------------------- tabs

void ScriptWndForm::tabClicked(int index) {
    if (!tabBoard_ || index < 0) return;
    const QString caption = tabBoard_->tabText(index);
    if (baseAttributeFrame_) baseAttributeFrame_->setVisible(caption == QStringLiteral("基本属性"));
    if (codeEditFrame_) codeEditFrame_->setVisible(caption == QStringLiteral("代码编辑"));
    if (faceEditFrame_) faceEditFrame_->setVisible(caption == QStringLiteral("界面编辑"));
}

// ---------------------------------------------------------------- target address pool

void ScriptWndForm::urlPoolClicked(int row) {
    if (fillingPool_ || !urlPoolList_ || !urlText_) return;
    if (QListWidgetItem* item = urlPoolList_->item(row)) urlText_->setText(item->text());
}

void ScriptWndForm::addUrlClicked() {
    if (urlPoolList_ && urlText_) urlPoolList_->addItem(urlText_->text());
}

void ScriptWndForm::editUrlClicked() {
    if (!urlPoolList_ || !urlText_) return;
    QListWidgetItem* item = urlPoolList_->currentItem();
    if (item && item->isSelected()) item->setText(urlText_->text());
}

void ScriptWndForm::delUrlClicked() {
    if (!urlPoolList_) return;
    QListWidgetItem* item = urlPoolList_->currentItem();
    if (!item || !item->isSelected()) return;
    // As the list box does it: after a removal no entry is selected, so that a second press
    // does not take the next address with it.
    fillingPool_ = true;
    delete urlPoolList_->takeItem(urlPoolList_->row(item));
    urlPoolList_->setCurrentRow(-1);
    urlPoolList_->clearSelection();
    fillingPool_ = false;
}

// ---------------------------------------------------------------- icon

void ScriptWndForm::pathOptionClicked(int index) {
    if (showPathCommand_) showPathCommand_->setEnabled(index == 0);
}

void ScriptWndForm::showPathClicked() {
    // The dialog keeps the name last chosen; cancelling hands that back.
    const QString chosen =
        platform::openFileDialog(QStringLiteral("打开"), kIconFilter, QString(), widget());
    if (!chosen.isEmpty()) lastIconFile_ = chosen;
    if (scriptIconText_) scriptIconText_->setText(lastIconFile_);
}

void ScriptWndForm::previewIconClicked() {
    if (!scriptIconText_) return;
    ScriptModule::loadPictureFromUrl(scriptPicture_, scriptIconText_->text());
}

// ---------------------------------------------------------------- layout and closing

void ScriptWndForm::onResize() {
    layoutControls();
}

void ScriptWndForm::layoutControls() {
    QWidget* window = widget();
    if (!window || window->isMinimized()) return;
    // The window's size is its outer size, frame included; below the minimum it is set back.
    const QSize outer = outerSizeTwips(kMinWidthTwips, kMinHeightTwips);
    const int width = outer.width();
    const int height = outer.height();
    platform::setWidth(editToolsFrame_, width - 400);
    platform::setWidth(tabBoard_, width - 400);
    if (tabBoard_ && editToolsFrame_)
        platform::setHeight(tabBoard_, height - platform::twips(editToolsFrame_->height()) - 800);
    if (!tabBoard_) return;
    const int frameWidth = platform::twips(tabBoard_->width()) - 200;
    const int frameHeight = platform::twips(tabBoard_->height()) - 500;
    for (QFrame* frame :
         {baseAttributeFrame_.data(), codeEditFrame_.data(), faceEditFrame_.data()}) {
        if (!frame) continue;
        if (baseAttributeFrame_) frame->move(baseAttributeFrame_->pos());
        platform::setWidth(frame, frameWidth);
        platform::setHeight(frame, frameHeight);
    }
    if (codeEditFrame_) {
        platform::setWidth(scriptEdit_, platform::twips(codeEditFrame_->width()) - 300);
        platform::setHeight(scriptEdit_, platform::twips(codeEditFrame_->height()) - 400);
    }
    if (faceEditFrame_) {
        platform::setWidth(skinEdit_, platform::twips(faceEditFrame_->width()) - 300);
        platform::setHeight(skinEdit_, platform::twips(faceEditFrame_->height()) - 400);
    }
}

void ScriptWndForm::onUnload() {
    // Edits not saved are dropped without a question. The save dialog belongs to this window:
    // left open, it would write the cleared document.
    ScriptModule::clearScriptDocument();
    if (SaveWndForm::instance().isLoaded()) SaveWndForm::instance().dismiss();
    openedOnClearedDocument_ = false;
    MainWndForm::instance().show();
}
