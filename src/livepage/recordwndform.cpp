#include "livepage/recordwndform.h"

#include <algorithm>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QWebEngineScript>
#include <memory>

#include "library/base64.h"
#include "library/textfile.h"
#include "platform/core/programfolder.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"

namespace {

using namespace platform::geometry;

const QString kCrLf = QStringLiteral("\r\n");
const QString kFieldId = QStringLiteral("tv_hidden");
const QString kJavaScript = QStringLiteral("javascript");
const QString kPluginFile = QStringLiteral("Stellock.dll");

// Reads the recorder's field and empties it in one step of the page, so that a line the page
// writes in between is neither lost nor read twice. null when the page has no such field.
const QString kTakeField = QStringLiteral(
    "(function(){var e=document.getElementById('tv_hidden');if(!e)return null;"
    "var v=String(e.value);e.value='';return v;})()");

// Ticks give up quickly on a page that does not answer: the next tick is 50 ms away.
constexpr int kTickTimeoutMs = 500;

// Design positions, in twips.
constexpr int kUrlTop = 120;
constexpr int kFrameTop = 480;
constexpr int kFrameWidth = 3015;
constexpr int kLogTop = 600;
constexpr int kLogWidth = 2775;

livePage::BrowserHostSettings recorderSettings() {
    livePage::BrowserHostSettings s;
    s.navigateOnLoad = true;
    s.silentOnComplete = true;
    return s;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    platform::placeTwips(button, left, top, width, height);
    return button;
}

// The log box holds one paragraph per line; the window's text has CR LF between them.
QString boxToText(const QString& boxText) {
    QString text = boxText;
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), kCrLf);
    return text;
}

}  // namespace

namespace recordLog {

QString collapse(const QString& text) {
    if (text.isEmpty()) return QString();
    QString result;
    QString previous;
    for (const QString& piece : text.split(kCrLf)) {
        if (piece == previous) continue;
        result += piece;
        result += kCrLf;
        previous = piece;
    }
    return result;
}

}  // namespace recordLog

RecordWndForm& RecordWndForm::instance() {
    static RecordWndForm* form = new RecordWndForm();
    return *form;
}

RecordWndForm::RecordWndForm()
    : platform::Form(QStringLiteral("RecordWndForm")),
      host_(&curBrowserIndex, &newWindowMode, recorderSettings()) {
    host_.layoutControls = [this] { layoutControls(); };
    host_.topDocumentAction = [this](platform::WebBrowser* inUse) { injectRecorder(inUse); };
}

void RecordWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("录制脚本"));
    window->resize(platform::px(12195), platform::px(7905));
    makeControls(window);
    runLoad();

    auto* collector = new QTimer(window);
    collector->setObjectName(QStringLiteral("Timer1"));
    collector->setInterval(kCollectIntervalMs);
    connect(collector, &QTimer::timeout, this, &RecordWndForm::collect);
    collector->start();
    auto* layout = new QTimer(window);
    layout->setObjectName(QStringLiteral("Timer2"));
    layout->setInterval(kLayoutIntervalMs);
    connect(layout, &QTimer::timeout, this, &RecordWndForm::layoutControls);
    layout->start();
}

void RecordWndForm::makeControls(QWidget* window) {
    auto* urlLabel = new QLabel(QStringLiteral("网址:"), window);
    urlLabel->setObjectName(QStringLiteral("urlLabel"));
    platform::placeTwips(urlLabel, 120, 160, 735, 255);

    auto* urlText = new QLineEdit(window);
    urlText->setObjectName(QStringLiteral("urlText"));
    platform::placeTwips(urlText, 840, kUrlTop, 10455, 270);

    auto* combo = new QComboBox(window);
    combo->setObjectName(QStringLiteral("newWndCombo"));
    platform::placeTwips(combo, 10080, kUrlTop, 1215, 300);

    QPushButton* jump = makeButton(window, QStringLiteral("jumpCommand"), QStringLiteral("跳 转"),
                                   11400, kUrlTop, 735, 255);

    auto* array = new platform::BrowserArray(QStringLiteral("recordWB"), window);
    // Ahead of the new-window chain, which takes the asking element away.
    connect(array, &platform::BrowserArray::NewWindow2, this,
            [this](int index, platform::NewWindowRequest*) { collectBeforeSwitch(index); });
    if (platform::WebBrowser* first = array->loadElement(0, window)) {
        first->setLeft(120);
        first->setTop(kFrameTop);
        first->setWidth(8895);
        first->setHeight(7335);
        first->show();
    }

    auto* frame = new QGroupBox(window);
    frame->setObjectName(QStringLiteral("logFrame"));
    platform::placeTwips(frame, 9120, kFrameTop, 3015, 7335);
    QPushButton* start = makeButton(frame, QStringLiteral("startCommand"), QStringLiteral("开 启"),
                                    120, 240, 855, 255);
    QPushButton* stop = makeButton(frame, QStringLiteral("stopCommand"), QStringLiteral("关 闭"),
                                   1080, 240, 855, 255);
    QPushButton* clear = makeButton(frame, QStringLiteral("clearCommand"), QStringLiteral("清 空"),
                                    2040, 240, 855, 255);
    auto* log = new QPlainTextEdit(frame);
    log->setObjectName(QStringLiteral("logText"));
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    platform::placeTwips(log, 120, kLogTop, 2775, 6615);

    connect(start, &QPushButton::clicked, this, &RecordWndForm::startRecording);
    connect(stop, &QPushButton::clicked, this, &RecordWndForm::stopRecording);
    connect(clear, &QPushButton::clicked, log, &QPlainTextEdit::clear);

    host_.attach(window, array, combo, urlText, jump);
}

void RecordWndForm::runLoad() {
    isRecording = false;
    if (recorderScript.isEmpty()) readPlugin(platform::programFile(kPluginFile));
    if (host_.runLoadStep()) return;
    // The element in use went with the window's last closing: start over on element 0.
    curBrowserIndex = 0;
    isRecording = false;
    // The plug-in lies in the program folder, whatever the current directory is.
    if (recorderScript.isEmpty()) readPlugin(platform::programFile(kPluginFile));
    host_.runLoadStep();
}

void RecordWndForm::readPlugin(const QString& path) {
    recorderScript = BASE64Module::base64Decode(ScriptModule::readTextFile(path));
}

void RecordWndForm::onResize() {
    layoutControls();
}

void RecordWndForm::onUnload() {
    host_.detach();
}

void RecordWndForm::layoutControls() {
    QWidget* window = widget();
    if (!window) return;
    // W and H are the outer size, frame included.
    const QSize outer = outerSizeTwips(kMinWidthTwips, kMinHeightTwips);
    const int W = outer.width();
    const int H = outer.height();

    auto* jump = control<QPushButton>(QStringLiteral("jumpCommand"));
    auto* combo = control<QComboBox>(QStringLiteral("newWndCombo"));
    auto* urlText = control<QLineEdit>(QStringLiteral("urlText"));
    auto* frame = control<QGroupBox>(QStringLiteral("logFrame"));
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    if (jump)
        platform::placeTwips(jump, W - widthOf(jump) - 200, topOf(jump), widthOf(jump),
                             heightOf(jump));
    if (jump && combo)
        platform::placeTwips(combo, leftOf(jump) - widthOf(combo) - 100, topOf(combo),
                             widthOf(combo), heightOf(combo));
    if (combo && urlText)
        platform::placeTwips(urlText, leftOf(urlText), topOf(urlText),
                             std::max(0, leftOf(combo) - leftOf(urlText) - 100), heightOf(urlText));
    // The design's widths are the least the log gets; a wider window gives half of what it has
    // beyond its least width to the log, whose statement lines are long.
    const int grow = std::max(0, W - kMinWidthTwips) / 2;
    if (frame) {
        const int frameWidth = kFrameWidth + grow;
        platform::placeTwips(frame, W - frameWidth - 200, topOf(frame), frameWidth,
                             std::max(0, H - topOf(frame) - 600));
    }
    if (frame && log)
        platform::placeTwips(log, leftOf(log), topOf(log), kLogWidth + grow,
                             std::max(0, heightOf(frame) - topOf(log) - 200));
    platform::WebBrowser* inUse = host_.elementInUse();
    if (inUse && urlText && frame) {
        inUse->setLeft(100);
        inUse->setTop(topOf(urlText) + heightOf(urlText) + 100);
        inUse->setWidth(std::max(0, leftOf(frame) - 200));
        inUse->setHeight(std::max(0, H - inUse->Top() - 600));
    }
}

void RecordWndForm::injectRecorder(platform::WebBrowser* inUse) {
    // Each step is skipped when it fails (a page without a body, a page that went away): the
    // user goes on browsing, and the next top-level page gets the recorder again.
    ++busy_;
    const platform::PageDocument doc = inUse->Document();
    const platform::PageElement body = doc.body();
    const platform::PageElement field = doc.createElement(QStringLiteral("input"));
    if (!field.isNull()) {
        field.setProperty(QStringLiteral("id"), kFieldId);
        field.setProperty(QStringLiteral("type"), QStringLiteral("hidden"));
        body.appendChild(field);
    }
    const platform::PageElement script = doc.createElement(QStringLiteral("script"));
    if (!script.isNull()) {
        script.setProperty(QStringLiteral("language"), kJavaScript);
        script.setProperty(QStringLiteral("text"), recorderScript);
        body.appendChild(script);
    }
    if (isRecording) doc.execScript(QStringLiteral("infectionEffect();"), kJavaScript);
    --busy_;
}

void RecordWndForm::startRecording() {
    isRecording = true;
    ++busy_;
    if (platform::WebBrowser* inUse = host_.elementInUse())
        inUse->Document().execScript(QStringLiteral("infectionEffect();"), kJavaScript);
    --busy_;
}

void RecordWndForm::stopRecording() {
    isRecording = false;
    ++busy_;
    if (platform::WebBrowser* inUse = host_.elementInUse())
        inUse->Document().execScript(QStringLiteral("infectionUnEffect();"), kJavaScript);
    --busy_;
}

void RecordWndForm::collect() {
    QPointer<QPlainTextEdit> log = control<QPlainTextEdit>(QStringLiteral("logText"));
    if (busy_ || !log) return;
    QString received;
    ++busy_;
    if (platform::WebBrowser* inUse = host_.elementInUse()) {
        platform::PageResult r;
        platform::PageDocument doc = inUse->Document(&r);
        if (r.ok) {
            doc.setTimeout(kTickTimeoutMs);
            const QVariant value = doc.evaluate(kTakeField, &r);
            if (r.ok && value.typeId() == QMetaType::QString) received = value.toString();
        }
    }
    --busy_;
    // The window may have closed while the page was asked.
    if (!log) return;
    appendToLog(received);
}

void RecordWndForm::appendToLog(const QString& received) {
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    if (!log) return;
    setLogContents(recordLog::collapse(boxToText(log->toPlainText()) + received));
}

void RecordWndForm::collectBeforeSwitch(int index) {
    platform::BrowserArray* array = host_.array();
    platform::WebBrowser* from = array ? array->element(index) : nullptr;
    if (!from || !from->page()) return;
    // The click that asked for the window wrote its line into this page's field a moment ago,
    // and the chain is about to destroy the element (or hide element 0), after which the ticks
    // read only the new one. The field is read without waiting here, inside the engine's
    // request: the page answers once the script that asked has finished, so what that script
    // still writes comes along. Until the answer, or a short bound, the element is held back
    // from deletion as during any page call.
    auto done = std::make_shared<bool>(false);
    platform::WebPage::enterWait();
    auto finish = [this, done](const QVariant& value) {
        if (*done) return;
        *done = true;
        if (value.typeId() == QMetaType::QString) appendToLog(value.toString());
        platform::WebPage::leaveWait();
    };
    from->page()->runJavaScript(kTakeField, QWebEngineScript::MainWorld, finish);
    QTimer::singleShot(kTickTimeoutMs, this, [finish] { finish(QVariant()); });
}

QString RecordWndForm::logContents() const {
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    return log ? boxToText(log->toPlainText()) : QString();
}

void RecordWndForm::setLogContents(const QString& text) {
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    if (!log || boxToText(log->toPlainText()) == text) return;
    // Rewritten only when it changed, so that a selection the user is copying stays put.
    QString boxText = text;
    boxText.replace(kCrLf, QStringLiteral("\n"));
    log->setPlainText(boxText);
    log->moveCursor(QTextCursor::End);
}
