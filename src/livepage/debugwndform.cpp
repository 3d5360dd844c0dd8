#include "livepage/debugwndform.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>

#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/scriptfunctions.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/pageinjection.h"
#include "platform/core/programfolder.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "workbench/mainwndform.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptwndform.h"
#include "workbench/skineditpanel.h"

namespace {

using namespace platform::geometry;

const QString kCrLf = QStringLiteral("\r\n");
const QString kBlank = QStringLiteral("about:blank");
const QString kPanelFile = QStringLiteral("Brannet.dll");
const QString kShownTip = QStringLiteral("双击隐藏此框");
const QString kCollapsedTip = QStringLiteral("双击显示此框");

// Design positions, in twips.
constexpr int kUrlTop = 120;
constexpr int kFrameLeft = 120;
constexpr int kFrameTop = 600;
constexpr int kFrameHeight = 6615;

livePage::BrowserHostSettings debuggerSettings() {
    livePage::BrowserHostSettings s;
    s.navigateOnLoad = true;  // and never Silent: the engine's own script-error reports stay on
    return s;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    platform::placeTwips(button, left, top, width, height);
    return button;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                  int width, int height) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    platform::placeTwips(label, left, top, width, height);
    return label;
}

QPlainTextEdit* makeTextBox(QWidget* parent, const QString& name, int left, int top, int width,
                            int height) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    platform::placeTwips(box, left, top, width, height);
    return box;
}

// Text boxes hold one paragraph per line; the window's texts have CR LF between lines.
QString boxToText(const QString& boxText) {
    QString text = boxText;
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), kCrLf);
    return text;
}

}  // namespace

DebugWndForm& DebugWndForm::instance() {
    static DebugWndForm* form = new DebugWndForm();
    return *form;
}

DebugWndForm::DebugWndForm()
    : platform::Form(QStringLiteral("DebugWndForm")),
      host_(&curBrowserIndex, &newWindowMode, debuggerSettings()) {
    host_.layoutControls = [this] { layoutControls(); };
}

void DebugWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("调试窗口"));
    window->resize(platform::px(10140), platform::px(7275));
    makeControls(window);
    runLoad();

    auto* timer = new QTimer(window);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setInterval(kLayoutIntervalMs);
    connect(timer, &QTimer::timeout, this, &DebugWndForm::layoutControls);
    timer->start();
}

void DebugWndForm::makeControls(QWidget* window) {
    makeLabel(window, QStringLiteral("urlLabel"), QStringLiteral("网址:"), 120, 160, 735, 255);
    auto* urlText = new QLineEdit(window);
    urlText->setObjectName(QStringLiteral("urlText"));
    platform::placeTwips(urlText, 960, kUrlTop, 8415, 270);
    auto* newWndCombo = new QComboBox(window);
    newWndCombo->setObjectName(QStringLiteral("newWndCombo"));
    platform::placeTwips(newWndCombo, 8160, kUrlTop, 1215, 300);
    QPushButton* jump = makeButton(window, QStringLiteral("jumpCommand"), QStringLiteral("跳 转"),
                                   9480, kUrlTop, 615, 255);

    auto* frame = new QGroupBox(window);
    frame->setObjectName(QStringLiteral("debugFrame"));
    frame->setToolTip(kShownTip);
    platform::placeTwips(frame, kFrameLeft, kFrameTop, kFrameShownTwips, kFrameHeight);
    frame->installEventFilter(this);

    makeLabel(frame, QStringLiteral("functionLabel"), QStringLiteral("方法列表"), 1320, 240, 855,
              255);
    auto* functionCombo = new QComboBox(frame);
    functionCombo->setObjectName(QStringLiteral("functionCombo"));
    functionCombo->setEditable(true);
    // Picking a statement only fills the text; it never adds what the user typed to the list.
    functionCombo->setInsertPolicy(QComboBox::NoInsert);
    platform::placeTwips(functionCombo, 120, 600, 2535, 300);
    QPushButton* runFunction = makeButton(frame, QStringLiteral("executeFunctionCommand"),
                                          QStringLiteral("执 行"), 2760, 600, 735, 255);
    makeLabel(frame, QStringLiteral("tipsLabel"), QStringLiteral("执行历史"), 1320, 1080, 855, 255);
    makeTextBox(frame, QStringLiteral("tipsText"), 120, 1440, 3375, 3015);
    makeLabel(frame, QStringLiteral("lineLabel"), QStringLiteral("命令行"), 120, 4560, 615, 255);
    makeTextBox(frame, QStringLiteral("lineText"), 120, 4920, 3375, 1095);
    auto* languageCombo = new QComboBox(frame);
    languageCombo->setObjectName(QStringLiteral("languageCombo"));
    languageCombo->setEditable(false);
    platform::placeTwips(languageCombo, 120, 6120, 2535, 300);
    QPushButton* runLine = makeButton(frame, QStringLiteral("executeLineCommand"),
                                      QStringLiteral("执 行"), 2760, 6120, 735, 255);

    auto* array = new platform::BrowserArray(QStringLiteral("debugWB"), window);
    if (platform::WebBrowser* first = array->loadElement(0, window)) {
        first->setLeft(kFrameLeft + kFrameShownTwips + 100);
        first->setTop(kFrameTop + 100);
        first->setWidth(10140 - first->Left() - 200);
        first->setHeight(7275 - first->Top() - 600);
        first->show();
    }

    connect(runFunction, &QPushButton::clicked, this, &DebugWndForm::executeFunction);
    connect(runLine, &QPushButton::clicked, this, &DebugWndForm::executeLine);

    host_.attach(window, array, newWndCombo, urlText, jump);
    // The debugger traces every completion before the host's own tests, so it takes the event
    // itself; the new-window chain and the address row stay with the host.
    disconnect(array, &platform::BrowserArray::DocumentComplete, &host_,
               &livePage::BrowserHost::onDocumentComplete);
    connect(array, &platform::BrowserArray::DocumentComplete, this,
            &DebugWndForm::documentComplete);
}

void DebugWndForm::runLoad() {
    if (loadSteps(QStringLiteral("JavaScript"))) return;
    // The element in use went with the window's last closing: start over on element 0.
    curBrowserIndex = 0;
    loadSteps(QStringLiteral("JScript"));
}

bool DebugWndForm::loadSteps(const QString& firstLanguage) {
    debugFrameWidth = kFrameShownTwips;
    platform::WebBrowser* inUse = host_.elementInUse();
    if (!inUse) return false;
    inUse->Navigate(kBlank);
    if (auto* languageCombo = control<QComboBox>(QStringLiteral("languageCombo"))) {
        languageCombo->clear();
        languageCombo->addItems({firstLanguage, QStringLiteral("VBScript")});
        languageCombo->setCurrentIndex(0);
    }
    host_.selectNewWindowItem(0);
    analysisPanelText = ScriptModule::readTextFile(platform::programFile(kPanelFile));
    fillFunctionList();
    return true;
}

void DebugWndForm::fillFunctionList() {
    auto* combo = control<QComboBox>(QStringLiteral("functionCombo"));
    if (!combo) return;
    combo->clear();
    combo->setEditText(QString());
    // The script as last loaded or saved, not the editor's unsaved text.
    combo->addItems(ScriptModule::listScriptFunctions(ScriptModule::scriptDocument().script));
    // The list only offers the statements; the text stays empty until the user picks one.
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
}

void DebugWndForm::onResize() {
    layoutControls();
}

void DebugWndForm::onUnload() {
    host_.detach();
}

bool DebugWndForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        auto* frame = control<QGroupBox>(QStringLiteral("debugFrame"));
        // Only a double-click on the frame itself: one on a control inside it that the control
        // leaves unused travels up to the frame, and must not fold the panel.
        if (frame && watched == frame &&
            !frame->childAt(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            toggleFrame();
            return true;
        }
    }
    return platform::Form::eventFilter(watched, event);
}

void DebugWndForm::toggleFrame() {
    auto* frame = control<QGroupBox>(QStringLiteral("debugFrame"));
    if (debugFrameWidth == kFrameCollapsedTwips) {
        debugFrameWidth = kFrameShownTwips;
        if (frame) frame->setToolTip(kShownTip);
    } else if (debugFrameWidth == kFrameShownTwips) {
        debugFrameWidth = kFrameCollapsedTwips;
        if (frame) frame->setToolTip(kCollapsedTip);
    }
    layoutControls();
}

void DebugWndForm::layoutControls() {
    QWidget* window = widget();
    if (!window) return;
    // W and H are the outer size, frame included.
    const QSize outer = outerSizeTwips(kMinWidthTwips, kMinHeightTwips);
    const int W = outer.width();
    const int H = outer.height();

    auto* frame = control<QGroupBox>(QStringLiteral("debugFrame"));
    auto* jump = control<QPushButton>(QStringLiteral("jumpCommand"));
    auto* combo = control<QComboBox>(QStringLiteral("newWndCombo"));
    auto* urlText = control<QLineEdit>(QStringLiteral("urlText"));
    auto* languageCombo = control<QComboBox>(QStringLiteral("languageCombo"));
    auto* runLine = control<QPushButton>(QStringLiteral("executeLineCommand"));
    auto* lineText = control<QPlainTextEdit>(QStringLiteral("lineText"));
    platform::WebBrowser* browser = host_.elementInUse();

    if (frame) setHeight(frame, H - topOf(frame) - 600);
    if (browser && H - browser->Top() - 600 >= 0) browser->setHeight(H - browser->Top() - 600);
    if (jump) setLeft(jump, W - 900);
    if (jump && combo) setLeft(combo, leftOf(jump) - widthOf(combo) - 100);
    if (combo && urlText) setWidth(urlText, leftOf(combo) - 1000);
    if (frame && languageCombo) {
        const int top = topOf(frame) + heightOf(frame) - heightOf(languageCombo) - 600;
        setTop(languageCombo, top);
        if (runLine) setTop(runLine, top);
    }
    if (languageCombo && lineText)
        setHeight(lineText, topOf(languageCombo) - topOf(lineText) - 100);
    if (frame) setWidth(frame, debugFrameWidth);
    if (browser && frame) {
        browser->setLeft(leftOf(frame) + widthOf(frame) + 100);
        browser->setTop(topOf(frame) + 100);
        if (W - browser->Left() - 200 >= 0) browser->setWidth(W - browser->Left() - 200);
    }
}

void DebugWndForm::documentComplete(int, const QString& url) {
    // Each trace line goes to bug.log when its stage is reached, with its own time: a dressing
    // that hangs in the page leaves every line up to it.
    skinModule::writeBugLog(QStringLiteral("debug start"));
    platform::WebBrowser* inUse = host_.elementInUse();
    if (!inUse) return;
    const QString location = inUse->LocationURL();
    if (location == kBlank) return;

    skinModule::writeBugLog(QStringLiteral("debug url start"));
    if (auto* urlText = control<QLineEdit>(QStringLiteral("urlText"))) urlText->setText(location);
    skinModule::writeBugLog(QStringLiteral("debug url end"));

    if (location == url) {
        // Plug-in tags, skin with board, code and panel reach the page in one call. The plug-in
        // tags only name scripts that load on their own, so nothing of theirs can hold the
        // page there; the page tells when it is past the skin and the code, and the lines of
        // that stage go to bug.log then, while the panel is still going in.
        skinModule::writeBugLog(QStringLiteral("debug runScript start"));
        skinModule::PageInjection injection(inUse->DocumentOnFirstCall());
        injection.addHeadScripts(pluginSources());
        addSkinAndScript(injection);
        injection.endStage();
        injection.addAnalysisPanel(analysisPanelText);
        const QStringList panelTrace = injection.run([&](int) {
            skinModule::writeBugLogLines(injection.skinTrace()
                                         << QStringLiteral("debug runScript end")
                                         << QStringLiteral("debug inScript2Wnd start"));
        });
        skinModule::writeBugLogLines(panelTrace);
        skinModule::writeBugLog(QStringLiteral("debug inScript2Wnd end"));
    }
    skinModule::writeBugLog(QStringLiteral("debug end"));
}

QStringList DebugWndForm::pluginSources() const {
    QStringList sources;
    ScriptEditPanel* editor = ScriptWndForm::instance().scriptEdit();
    if (!editor) return sources;
    // The editor lists a plug-in name once per line of the plug-in list and ticks all of them
    // together; each name still gets its tags once, or the page would run them twice.
    QStringList names = editor->getScriptList();
    names.removeDuplicates();
    const QStringList& plugins = ScriptModule::pluginCollection();
    for (const QString& name : names) {
        for (const QString& line : plugins) {
            if (line.isEmpty()) continue;
            const QStringList pieces = line.split(QLatin1Char('='));
            // A line without "=" names no address: no tag for it.
            if (pieces.first() != name || pieces.size() < 2) continue;
            sources << pieces.at(1);
        }
    }
    // A document without a head has no place for the tags; the page is still dressed.
    return sources;
}

void DebugWndForm::addSkinAndScript(skinModule::PageInjection& injection) {
    ScriptWndForm& scriptWindow = ScriptWndForm::instance();
    SkinEditPanel* skins = scriptWindow.skinEdit();
    ScriptEditPanel* editor = scriptWindow.scriptEdit();
    const XmlNode board = skins ? skins->getSkinData() : XmlNode();
    const XmlNode style = board.isNull() ? XmlNode() : board.getNamedItem(QStringLiteral("style"));
    // A board without a skin name reads "css/.skin", which does not exist: no skin, the code
    // still goes in.
    const QString styleName = style.isNull() ? QString() : style.nodeTypedValue();
    const QString skinText = ScriptModule::readTextFile(
        platform::programFile(QStringLiteral("css/") + styleName + QStringLiteral(".skin")));
    injection.addSkinAndScript(skinText, board, editor ? editor->getScriptText() : QString());
}

QString DebugWndForm::runInPage(const QString& language, const QString& code) {
    platform::WebBrowser* inUse = host_.elementInUse();
    const platform::PageDocument page = inUse ? inUse->Document() : platform::PageDocument();
    return skinModule::execInPage(page, MainWndForm::instance().rndFlagStr, language, code);
}

void DebugWndForm::executeLine() {
    auto* lineText = control<QPlainTextEdit>(QStringLiteral("lineText"));
    auto* languageCombo = control<QComboBox>(QStringLiteral("languageCombo"));
    if (!lineText) return;
    const QString code = boxToText(lineText->toPlainText());
    const QString result =
        runInPage(languageCombo ? languageCombo->currentText() : QString(), code);
    appendHistory(code, result);
    // The window may have closed while the page ran the code (a dialog the code opened).
    if ((lineText = control<QPlainTextEdit>(QStringLiteral("lineText")))) lineText->clear();
}

void DebugWndForm::executeFunction() {
    auto* functionCombo = control<QComboBox>(QStringLiteral("functionCombo"));
    if (!functionCombo) return;
    const QString code = functionCombo->currentText();
    appendHistory(code, runInPage(QStringLiteral("JScript"), code));
}

void DebugWndForm::appendHistory(const QString& code, const QString& result) {
    auto* history = control<QPlainTextEdit>(QStringLiteral("tipsText"));
    if (!history) return;
    QString entry =
        QStringLiteral(">>") + code + kCrLf +
        (result.isEmpty() ? QStringLiteral("+>执行成功") : QStringLiteral("->") + result) + kCrLf;
    entry.replace(kCrLf, QStringLiteral("\n"));
    QTextCursor end(history->document());
    end.movePosition(QTextCursor::End);
    end.insertText(entry);
    history->moveCursor(QTextCursor::End);
    history->ensureCursorVisible();
}

QString DebugWndForm::historyContents() const {
    auto* history = control<QPlainTextEdit>(QStringLiteral("tipsText"));
    return history ? boxToText(history->toPlainText()) : QString();
}
