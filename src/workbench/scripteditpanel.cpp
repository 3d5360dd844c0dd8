#include "workbench/scripteditpanel.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "library/scriptfunctions.h"
#include "library/translate.h"
#include "platform/dialogs.h"
#include "platform/form.h"
#include "workbench/languagemodule.h"
#include "workbench/numbertext.h"
#include "workbench/plaintextbox.h"
#include "workbench/scriptlines.h"
#include "workbench/scriptview.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// Design positions, in twips.
constexpr int kStripLeft = 45;
constexpr int kStripTop = 480;
constexpr int kStripWidth = 4500;
constexpr int kViewLeft = 4575;
constexpr int kViewTop = 45;
constexpr int kFrameWidth = kStripWidth - 200;
constexpr int kRowHeight = 315;
constexpr int kLabelHeight = 255;
constexpr int kButtonLeft = 3450;
constexpr int kButtonWidth = 735;

QLabel* makeLabel(QWidget* parent, const QString& caption, int left, int top, int width) {
    auto* label = new QLabel(caption, parent);
    platform::placeTwips(label, left, top, width, kLabelHeight);
    return label;
}

QLineEdit* makeText(QWidget* parent, const QString& name, int left, int top, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    platform::placeTwips(edit, left, top, width, kRowHeight);
    return edit;
}

// A drop-down list; fixed lists cannot be edited and start without a selection.
QComboBox* makeCombo(QWidget* parent, const QString& name, const QStringList& items, bool editable,
                     int left, int top, int width) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(editable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    platform::placeTwips(combo, left, top, width, kRowHeight);
    return combo;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width = kButtonWidth, int height = kRowHeight) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    platform::placeTwips(button, left, top, width, height);
    return button;
}

QFrame* makeFrame(QWidget* parent, const QString& name) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    return frame;
}

ScriptView* makeView(QWidget* parent, const QString& name) {
    // Every line break typed (Shift+Enter included) or pasted is a plain new line.
    auto* view = new ScriptView(parent);
    view->setObjectName(name);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return view;
}

}  // namespace

ScriptEditPanel::ScriptEditPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ScriptEditPanel"));
    buildControls();
}

ScriptEditPanel::~ScriptEditPanel() = default;

void ScriptEditPanel::buildControls() {
    explainCommand_ = makeButton(this, QStringLiteral("explainCommand"), QStringLiteral("解释模式"),
                                 45, 45, 1335, 375);
    codeCommand_ = makeButton(this, QStringLiteral("codeCommand"), QStringLiteral("代码模式"), 1380,
                              45, 1335, 375);
    codeCommand_->setEnabled(false);

    scriptTabStrip_ = new QTabWidget(this);
    scriptTabStrip_->setObjectName(QStringLiteral("scriptTabStrip"));
    for (const char* caption : {"基本命令", "控制命令", "其它命令", "引入插件"})
        scriptTabStrip_->addTab(new QWidget(scriptTabStrip_), QString::fromUtf8(caption));
    // All four tabs stay in view side by side.
    scriptTabStrip_->setUsesScrollButtons(false);
    platform::placeTwips(scriptTabStrip_, kStripLeft, kStripTop, kStripWidth, 5400);

    explainText_ = makeView(this, QStringLiteral("explainText"));
    codeText_ = makeView(this, QStringLiteral("codeText"));
    platform::placeTwips(explainText_, kViewLeft, kViewTop, 4500, 5800);
    platform::placeTwips(codeText_, kViewLeft, kViewTop, 4500, 5800);
    explainText_->hide();
    codeLines_ = std::make_unique<ScriptLines>(codeText_->document(), false);
    explainLines_ = std::make_unique<ScriptLines>(explainText_->document(), true);

    // Palette frames lie over the strip's page area; exactly one shows.
    baseCodeFrame_ = makeFrame(this, QStringLiteral("baseCodeFrame"));
    ctrlCodeFrame_ = makeFrame(this, QStringLiteral("ctrlCodeFrame"));
    otherCodeFrame_ = makeFrame(this, QStringLiteral("otherCodeFrame"));
    pluginFrame_ = makeFrame(this, QStringLiteral("pluginFrame"));
    for (QFrame* f : {baseCodeFrame_, ctrlCodeFrame_, otherCodeFrame_, pluginFrame_})
        platform::placeTwips(f, kStripLeft + 100, kStripTop + 475, kFrameWidth, 4800);
    ctrlCodeFrame_->hide();
    otherCodeFrame_->hide();
    pluginFrame_->hide();

    // 基本命令: six groups, a caption row above an input row each.
    QFrame* f = baseCodeFrame_;
    auto rowTop = [](int group) { return 120 + group * 720; };
    int y = rowTop(0);
    makeLabel(f, QStringLiteral("消息框内容"), 120, y, 2400);
    alertText_ = makeText(f, QStringLiteral("alertText"), 120, y + 270, 3210);
    alertCommand_ = makeButton(f, QStringLiteral("alertCommand"), QStringLiteral("插 入"),
                               kButtonLeft, y + 270);
    y = rowTop(1);
    makeLabel(f, QStringLiteral("查找目标参数"), 120, y, 2400);
    searchText_ = makeText(f, QStringLiteral("searchText"), 120, y + 270, 2010);
    searchCombo_ = makeCombo(f, QStringLiteral("searchCombo"),
                             {QStringLiteral("根据编号"), QStringLiteral("根据名称")}, false, 2190,
                             y + 270, 1200);
    searchCommand_ = makeButton(f, QStringLiteral("searchCommand"), QStringLiteral("插 入"),
                                kButtonLeft, y + 270);
    y = rowTop(2);
    makeLabel(f, QStringLiteral("操作目标"), 120, y, 2400);
    ctrlText_ = makeText(f, QStringLiteral("ctrlText"), 120, y + 270, 2010);
    ctrlCombo_ =
        makeCombo(f, QStringLiteral("ctrlCombo"), {QStringLiteral("点击"), QStringLiteral("输入")},
                  false, 2190, y + 270, 1200);
    ctrlCommand_ =
        makeButton(f, QStringLiteral("ctrlCommand"), QStringLiteral("插 入"), kButtonLeft, y + 270);
    y = rowTop(3);
    makeLabel(f, QStringLiteral("读取目标"), 120, y, 2400);
    readText_ = makeText(f, QStringLiteral("readText"), 120, y + 270, 2010);
    readCombo_ = makeCombo(f, QStringLiteral("readCombo"),
                           {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("内容"),
                            QStringLiteral("链接"), QStringLiteral("来源")},
                           false, 2190, y + 270, 1200);
    readCommand_ =
        makeButton(f, QStringLiteral("readCommand"), QStringLiteral("插 入"), kButtonLeft, y + 270);
    y = rowTop(4);
    makeLabel(f, QStringLiteral("错误捕获"), 120, y + 300, 2400);
    tryCommand_ =
        makeButton(f, QStringLiteral("tryCommand"), QStringLiteral("输 入"), kButtonLeft, y + 270);
    y = rowTop(5);
    notesCombo_ = makeCombo(f, QStringLiteral("notesCombo"),
                            {QStringLiteral("单行注释"), QStringLiteral("多行注释")}, false, 120,
                            y + 270, 2010);
    notesCommand_ = makeButton(f, QStringLiteral("notesCommand"), QStringLiteral("输 入"),
                               kButtonLeft, y + 270);

    // 控制命令: condition block, function call, function declaration.
    f = ctrlCodeFrame_;
    makeLabel(f, QStringLiteral("如果表达式"), 120, 120, 2400);
    judgeText_ = makeText(f, QStringLiteral("judgeText"), 120, 390, 4065);
    makeLabel(f, QStringLiteral("取值为真,则"), 120, 780, 1260);
    judgeCombo_ =
        makeCombo(f, QStringLiteral("judgeCombo"),
                  {QStringLiteral("执行语句"), QStringLiteral("执行循环")}, false, 1440, 750, 1890);
    judgeCommand_ =
        makeButton(f, QStringLiteral("judgeCommand"), QStringLiteral("插 入"), kButtonLeft, 750);
    makeLabel(f, QStringLiteral("调用方法"), 120, 1260, 2400);
    functionCombo_ = makeCombo(f, QStringLiteral("functionCombo"), {}, true, 120, 1530, 3210);
    useFunctionCommand_ = makeButton(f, QStringLiteral("useFunctionCommand"),
                                     QStringLiteral("插 入"), kButtonLeft, 1530);
    makeLabel(f, QStringLiteral("定义方法"), 120, 2010, 2400);
    functionText_ = makeText(f, QStringLiteral("functionText"), 120, 2280, 3210);
    functionCommand_ = makeButton(f, QStringLiteral("functionCommand"), QStringLiteral("插 入"),
                                  kButtonLeft, 2280);

    // 其它命令: the timer.
    f = otherCodeFrame_;
    makeLabel(f, QStringLiteral("执行"), 120, 120, 2400);
    timerCombo_ =
        makeCombo(f, QStringLiteral("timerCombo"), {QStringLiteral("延迟"), QStringLiteral("循环")},
                  false, 120, 390, 1000);
    timerText_ = makeText(f, QStringLiteral("timerText"), 1200, 390, 1300);
    timerText_->setText(QStringLiteral("1000"));
    timeUnitsCombo_ =
        makeCombo(f, QStringLiteral("timeUnitsCombo"),
                  {QStringLiteral("毫秒"), QStringLiteral("秒")}, false, 2580, 390, 1000);
    functionLineCombo_ =
        makeCombo(f, QStringLiteral("functionLineCombo"), {}, true, 120, 795, 3210);
    timerCommand_ =
        makeButton(f, QStringLiteral("timerCommand"), QStringLiteral("插 入"), kButtonLeft, 795);

    // 引入插件: the plug-in list, any number of entries ticked.
    pluginList_ = new QListWidget(pluginFrame_);
    pluginList_->setObjectName(QStringLiteral("pluginList"));
    platform::placeTwips(pluginList_, 120, 120, kFrameWidth - 240, 4200);

    connect(explainCommand_, &QPushButton::clicked, this, &ScriptEditPanel::showExplainView);
    connect(codeCommand_, &QPushButton::clicked, this, &ScriptEditPanel::showCodeView);
    connect(codeText_, &QPlainTextEdit::textChanged, this, [this] {
        if (!settingText_) viewChanged(codeText_);
    });
    connect(explainText_, &QPlainTextEdit::textChanged, this, [this] {
        if (!settingText_) viewChanged(explainText_);
    });
    connect(scriptTabStrip_, &QTabWidget::currentChanged, this,
            &ScriptEditPanel::paletteTabChanged);

    // A button whose guard fails does nothing, silently; a guard "not empty" fails only for
    // the exact empty text.
    connect(alertCommand_, &QPushButton::clicked, this, [this] {
        if (alertText_->text().isEmpty()) return;
        insertSnippet(LanguageModule::makeAlertSnippet(alertText_->text()));
    });
    connect(searchCommand_, &QPushButton::clicked, this, [this] {
        if (searchText_->text().isEmpty()) return;
        insertSnippet(
            LanguageModule::makeSearchSnippet(searchCombo_->currentText(), searchText_->text()));
    });
    connect(ctrlCommand_, &QPushButton::clicked, this, [this] {
        if (ctrlText_->text().isEmpty()) return;
        insertSnippet(
            LanguageModule::makeControlSnippet(ctrlCombo_->currentText(), ctrlText_->text()));
    });
    connect(readCommand_, &QPushButton::clicked, this, [this] {
        if (readText_->text().isEmpty()) return;
        insertSnippet(
            LanguageModule::makeReadSnippet(readCombo_->currentText(), readText_->text()));
    });
    connect(tryCommand_, &QPushButton::clicked, this,
            [this] { insertSnippet(LanguageModule::makeTrySnippet()); });
    connect(notesCommand_, &QPushButton::clicked, this, [this] {
        insertSnippet(LanguageModule::makeCommentSnippet(notesCombo_->currentText()));
    });
    connect(judgeCommand_, &QPushButton::clicked, this, [this] {
        if (judgeText_->text().isEmpty()) return;
        insertSnippet(
            LanguageModule::makeConditionSnippet(judgeText_->text(), judgeCombo_->currentText()));
    });
    connect(useFunctionCommand_, &QPushButton::clicked, this, [this] {
        if (functionCombo_->currentText().isEmpty()) return;
        insertSnippet(LanguageModule::makeCallSnippet(functionCombo_->currentText()));
    });
    connect(functionCommand_, &QPushButton::clicked, this, [this] {
        if (functionText_->text().isEmpty()) return;
        insertSnippet(LanguageModule::makeFunctionSnippet(functionText_->text()));
    });
    connect(timerCommand_, &QPushButton::clicked, this, &ScriptEditPanel::timerClicked);
}

void ScriptEditPanel::timerClicked() {
    if (timerText_->text().isEmpty()) return;
    const std::optional<double> number = NumberText::readNumber(timerText_->text());
    if (!number) return;
    const QString code = functionLineCombo_->currentText();
    if (code.isEmpty()) return;
    // A count or a delay that does not fit 16 bits is refused rather than cut short.
    const std::optional<qint16> count = NumberText::toInt16(*number);
    if (!count) {
        platform::messageBox(QStringLiteral("时间数值超出范围,请输入-32768到32767之间的数"),
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::Warning, this);
        return;
    }
    const QString unit = timeUnitsCombo_->currentText();
    if (!LanguageModule::timerDelayFits(*count, unit)) {
        platform::messageBox(QStringLiteral("时间数值超出范围,以秒为单位时请输入-32到32之间的数"),
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::Warning, this);
        return;
    }
    insertSnippet(LanguageModule::makeTimerSnippet(timerCombo_->currentText(), *count, unit, code));
}

QString ScriptEditPanel::viewText(const QPlainTextEdit* view) const {
    // The raw text keeps every character as typed (no-break spaces included).
    return ScriptView::scriptText(view->document());
}

ScriptLines* ScriptEditPanel::linesOf(const QPlainTextEdit* view) const {
    return view == explainText_ ? explainLines_.get() : codeLines_.get();
}

void ScriptEditPanel::setViewText(ScriptView* view, const QString& text) {
    ScriptLines* lines = linesOf(view);
    settingText_ = true;
    lines->setPaused(true);
    const QString shown = view->setScriptText(text);
    lines->setPaused(false);
    lines->rebuild(shown);
    settingText_ = false;
    viewChanged(view);
    // The view gives the text back as it was given, unless it holds a line break other than
    // CR LF and a lone CR, a frame mark, or the mark that stands for a lone CR: such a text
    // is read from the view when asked for.
    const char16_t* const begin = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = begin + text.size();
    bool asGiven = true;
    for (const char16_t* p = begin; asGiven && p != end; ++p) {
        const char16_t c = *p;
        asGiven = (c != u'\n' || (p != begin && p[-1] == u'\r')) && c != QChar::LineSeparator &&
                  c != QChar::ParagraphSeparator && c != ScriptView::kLoneCrMark.unicode() && c != 0xFDD0 &&
                  c != 0xFDD1;
    }
    if (asGiven) {
        currentScriptText_ = text;
        sourceRead_ = true;
    }
}

QString ScriptEditPanel::textOf(const QPlainTextEdit* view) const {
    return view == currentSource_ ? currentScriptText() : viewText(view);
}

void ScriptEditPanel::viewChanged(QPlainTextEdit* view) {
    currentSource_ = view;
    sourceRead_ = false;
    rebuildFunctionLists();
}

QString ScriptEditPanel::currentScriptText() const {
    if (currentSource_ && !sourceRead_) {
        currentScriptText_ = viewText(currentSource_);
        sourceRead_ = true;
    }
    return currentScriptText_;
}

void ScriptEditPanel::rebuildFunctionLists() {
    // The lines of the view that changed last know their function headers, unless the text
    // in use is not the one the shown view would hand out (the code view written while the
    // explain view is shown).
    const QStringList calls = currentSource_ == shownView()
                                  ? linesOf(currentSource_)->functionCalls()
                                  : ScriptModule::listScriptFunctions(getScriptText());
    // Both lists are emptied, their typed text included, and refilled. Refilling an
    // unchanged list is skipped: it would look the same and costs most of a keystroke in a
    // long script.
    for (QComboBox* combo : {functionCombo_, functionLineCombo_}) {
        if (calls != listedFunctions_) {
            combo->clear();
            combo->addItems(calls);
        }
        combo->setCurrentIndex(-1);
        combo->setEditText(QString());
    }
    listedFunctions_ = calls;
}

bool ScriptEditPanel::isExplainView() const {
    return !explainText_->isHidden();
}

ScriptView* ScriptEditPanel::shownView() const {
    return isExplainView() ? explainText_ : codeText_;
}

void ScriptEditPanel::setScriptText(const QString& cin) {
    QString text = cin;
    text.replace(QLatin1Char('\n'), kCrLf);
    text.replace(QStringLiteral("\r\r"), QStringLiteral("\r"));
    currentScriptText_ = text;
    setViewText(codeText_, text);
}

void ScriptEditPanel::showExplainView() {
    explainText_->show();
    codeText_->hide();
    explainCommand_->setEnabled(false);
    codeCommand_->setEnabled(true);
    const QString translated = TranslateModule::translateScript(textOf(codeText_), "en2cn");
    setViewText(explainText_, translated);
    currentScriptText_ = translated;
    currentSource_ = nullptr;
}

void ScriptEditPanel::showCodeView() {
    codeText_->show();
    explainText_->hide();
    codeCommand_->setEnabled(false);
    explainCommand_->setEnabled(true);
    const QString translated = TranslateModule::translateScript(textOf(explainText_), "cn2en");
    setViewText(codeText_, translated);
    currentScriptText_ = translated;
    currentSource_ = nullptr;
}

QString ScriptEditPanel::getScriptText() const {
    if (!isExplainView()) return currentScriptText();
    if (currentSource_ == explainText_) return explainLines_->englishText();
    return TranslateModule::translateScript(currentScriptText(), "cn2en");
}

void ScriptEditPanel::insertSnippet(const QString& snippet) {
    // Snippets go in as built, English keywords also in the explain view.
    ScriptView* view = shownView();
    QTextCursor cursor = view->textCursor();
    settingText_ = true;
    ScriptView::insertScriptText(cursor, snippet);
    settingText_ = false;
    view->setTextCursor(cursor);
    viewChanged(view);
}

void ScriptEditPanel::paletteTabChanged(int index) {
    const QString caption = scriptTabStrip_->tabText(index);
    baseCodeFrame_->setVisible(caption == QStringLiteral("基本命令"));
    ctrlCodeFrame_->setVisible(caption == QStringLiteral("控制命令"));
    otherCodeFrame_->setVisible(caption == QStringLiteral("其它命令"));
    pluginFrame_->setVisible(caption == QStringLiteral("引入插件"));
}

void ScriptEditPanel::setScrtipHeadList(const std::optional<QStringList>& headListMenu,
                                        const std::optional<QStringList>& headList) {
    if (headListMenu) {
        for (const QString& line : *headListMenu) {
            if (line.isEmpty()) continue;
            auto* item = new QListWidgetItem(line.section(QLatin1Char('='), 0, 0), pluginList_);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    if (!headList) return;
    for (const QString& name : *headList)
        for (int i = 0; i < pluginList_->count(); ++i)
            if (pluginList_->item(i)->text() == name)
                pluginList_->item(i)->setCheckState(Qt::Checked);
}

QStringList ScriptEditPanel::getScriptList() const {
    QStringList names;
    for (int i = 0; i < pluginList_->count(); ++i)
        if (pluginList_->item(i)->checkState() == Qt::Checked)
            names.append(pluginList_->item(i)->text());
    return names;
}

void ScriptEditPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void ScriptEditPanel::layoutControls() {
    const int w = platform::twips(width());
    const int h = platform::twips(height());
    auto place = [](QWidget* c, int left, int top, int width, int height) {
        // A size that would come out negative is skipped, as the window's layout skips a
        // failing step.
        if (width < 0 || height < 0) return;
        platform::placeTwips(c, left, top, width, height);
    };
    const QRect strip = scriptTabStrip_->geometry();
    const int stripLeft = platform::twips(strip.x());
    const int stripTop = platform::twips(strip.y());
    const int stripWidth = platform::twips(strip.width());
    int stripHeight = h - stripTop;
    if (stripHeight >= 0)
        place(scriptTabStrip_, stripLeft, stripTop, stripWidth, stripHeight);
    else
        stripHeight = platform::twips(strip.height());

    const QRect ev = explainText_->geometry();
    const int viewLeft = platform::twips(ev.x());
    const int viewTop = platform::twips(ev.y());
    const int viewWidth = w - stripWidth - 100;
    place(explainText_, viewLeft, viewTop, viewWidth, h - viewTop - 100);
    place(codeText_, viewLeft, viewTop, viewWidth, h - viewTop - 100);

    // The frames cover the strip's page area, below its row of tabs.
    const int tabRow = platform::twips(scriptTabStrip_->tabBar()->sizeHint().height());
    const int frameTop = stripTop + tabRow + 100;
    const int frameHeight = stripHeight - tabRow - 200;
    for (QFrame* f : {baseCodeFrame_, ctrlCodeFrame_, otherCodeFrame_, pluginFrame_})
        place(f, stripLeft + 100, frameTop, platform::twips(f->width()), frameHeight);

    for (QComboBox* combo : {judgeCombo_, timerCombo_, timeUnitsCombo_, searchCombo_, ctrlCombo_,
                             readCombo_, notesCombo_})
        combo->setCurrentIndex(0);
}
