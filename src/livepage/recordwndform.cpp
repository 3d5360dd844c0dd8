#include "livepage/recordwndform.h"

#include <algorithm>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
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
// writes in between is neither lost nor read twice. Always a text (empty when the page has no
// such field): no answer at all comes only from a page that is going.
const QString kTakeField = QStringLiteral(
    "(function(){var e=document.getElementById('tv_hidden');if(!e)return '';"
    "var v=String(e.value);e.value='';return v;})()");

// Requests for the field that an element's page has not answered yet. A page busy in a script
// answers only when it is done, and is asked once meanwhile.
const char* const kAskedCount = "recorderAsked";

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

// Every break the log box makes a paragraph of (a lone CR or LF, the Unicode separators)
// becomes the log's CR LF, so that the lines compared are the lines the box shows.
QString logLineBreaks(const QString& received) {
    QString text;
    text.reserve(received.size());
    for (qsizetype i = 0; i < received.size(); ++i) {
        const QChar c = received.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0x2028) ||
            c == QChar(0x2029)) {
            if (c == QLatin1Char('\r') && i + 1 < received.size() &&
                received.at(i + 1) == QLatin1Char('\n'))
                ++i;
            text += kCrLf;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace

namespace recordLog {

QString collapse(const QString& text, const QString& before) {
    // An empty text is one empty piece, which only a line ahead of it can keep.
    if (text.isEmpty() && before.isEmpty()) return QString();
    QString result;
    QString previous = before;
    for (const QString& piece : text.split(kCrLf)) {
        if (piece == previous) continue;
        result += piece;
        result += kCrLf;
        previous = piece;
    }
    return result;
}

}  // namespace recordLog

// A place in the log held for the answer of one request to a page: where the log ended when
// the request went out. Lines that come in meanwhile go after it.
struct RecordWndForm::LogSlot {
    QTextCursor cursor;
};

RecordWndForm& RecordWndForm::instance() {
    static RecordWndForm* form = new RecordWndForm();
    return *form;
}

RecordWndForm::RecordWndForm()
    : platform::Form(QStringLiteral("RecordWndForm")),
      host_(&curBrowserIndex, &newWindowMode, recorderSettings()) {
    host_.layoutControls = [this] { layoutControls(); };
    host_.topDocumentAction = [this](platform::WebBrowser* inUse) { injectRecorder(inUse); };
    host_.unloadLater = [this](int index) { return holdAsker(index); };
}

void RecordWndForm::onLoad(QWidget* window) {
    forgetLog();
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
    // The window changes the log in small steps at its end; an undo history of them would only
    // grow with the log.
    log->setUndoRedoEnabled(false);
    connect(log->document(), &QTextDocument::contentsChange, this, [this] {
        if (!editingLog_) logEdited_ = true;
    });

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
    forgetLog();
}

void RecordWndForm::forgetLog() {
    slots_.clear();
    held_.clear();
    logEdited_ = false;
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
    // A new document: a request that the one before left unanswered (its page process ended
    // under it) no longer keeps the ticks away.
    inUse->setProperty(kAskedCount, 0);
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
    if (!control<QPlainTextEdit>(QStringLiteral("logText"))) return;
    tidyEditedLog();
    if (!busy_) takeField(host_.elementInUse(), false);
    // A last line without its line end gets it, as every tick's collapse gives it.
    writeAt(reserveSlot(), QString());
}

// Asks the page for its field without waiting: the answer goes where the log ended when the
// request went out, however long the page takes (a script still running after the click that
// opened a window, a dialog the user reads). One request at a time per page, so that a busy page
// is not flooded with them, unless the caller must have everything the page holds by now.
void RecordWndForm::takeField(platform::WebBrowser* from, bool evenIfAsked) {
    if (!from || !from->page()) return;
    const int asked = from->property(kAskedCount).toInt();
    if (asked > 0 && !evenIfAsked) return;
    std::shared_ptr<LogSlot> slot = reserveSlot();
    if (!slot) return;
    from->setProperty(kAskedCount, asked + 1);
    QPointer<platform::WebBrowser> browser(from);
    from->page()->runJavaScript(
        kTakeField, QWebEngineScript::MainWorld,
        [this, browser, slot](const QVariant& value) { fieldTaken(browser, slot, value); });
}

void RecordWndForm::fieldTaken(const QPointer<platform::WebBrowser>& from,
                               const std::shared_ptr<LogSlot>& slot, const QVariant& value) {
    // A page that went away gave nothing, as a tick that finds no field.
    writeAt(slot, value.toString());
    // An invalid answer comes from a page being destroyed: the element is going anyway.
    if (!from || !value.isValid()) return;
    const int asked = std::max(0, from->property(kAskedCount).toInt() - 1);
    from->setProperty(kAskedCount, asked);
    if (asked > 0) return;
    for (int i = int(held_.size()) - 1; i >= 0; --i) {
        const HeldElement h = held_.at(i);
        if (h.element && h.element != from) continue;
        held_.removeAt(i);
        if (h.element && h.array && h.array->element(h.index) == h.element &&
            h.index != curBrowserIndex)
            h.array->unloadElement(h.index);
    }
}

bool RecordWndForm::holdAsker(int index) {
    platform::BrowserArray* array = host_.array();
    platform::WebBrowser* asker = array ? array->element(index) : nullptr;
    if (!asker || asker->property(kAskedCount).toInt() <= 0) return false;
    held_.append({array, index, asker});
    return true;
}

void RecordWndForm::collectBeforeSwitch(int index) {
    platform::BrowserArray* array = host_.array();
    // The click that asked for the window wrote its line into this page's field a moment ago,
    // and after the chain the ticks read only the new element. The field is asked once more,
    // also when a tick's request is still out (its answer may have left the page before the
    // click); the page answers once the script that asked has finished, so what that script
    // still writes comes along. The chain leaves the element to this window until then.
    takeField(array ? array->element(index) : nullptr, true);
}

std::shared_ptr<RecordWndForm::LogSlot> RecordWndForm::reserveSlot() {
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    if (!log) return nullptr;
    tidyEditedLog();
    auto slot = std::make_shared<LogSlot>();
    slot->cursor = QTextCursor(log->document());
    slot->cursor.movePosition(QTextCursor::End);
    // Lines written at the end later go after this place.
    slot->cursor.setKeepPositionOnInsert(true);
    slots_.push_back(slot);
    return slot;
}

// Writes what a page gave at its place in the log, which is given up then.
void RecordWndForm::writeAt(const std::shared_ptr<LogSlot>& slot, const QString& received) {
    auto self = std::find(slots_.begin(), slots_.end(), slot);
    if (self == slots_.end()) return;  // a log that has gone with its window
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    if (!log || slot->cursor.document() != log->document()) {
        slots_.erase(self);
        return;
    }
    tidyEditedLog();
    // Places held after this one at the same spot belong after what goes in here.
    std::vector<QTextCursor*> later;
    for (auto it = self + 1; it != slots_.end(); ++it)
        if ((*it)->cursor.position() == slot->cursor.position()) later.push_back(&(*it)->cursor);
    slots_.erase(self);
    editingLog_ = true;
    for (QTextCursor* c : later) c->setKeepPositionOnInsert(false);
    const bool wrote = writeLines(log->document(), slot->cursor.position(), received);
    for (QTextCursor* c : later) c->setKeepPositionOnInsert(true);
    editingLog_ = false;
    // The newest lines in view, unless the user is selecting lines to copy.
    if (wrote && !log->textCursor().hasSelection()) log->moveCursor(QTextCursor::End);
}

// The lines received, tidied as the whole log would be, at a line start of the log: only the
// line before that place and the line after it are compared. false when nothing went in.
bool RecordWndForm::writeLines(QTextDocument* doc, int position, const QString& received) {
    // Places are taken at the start of a line; the user's editing may have moved one inside.
    QTextBlock at = doc->findBlock(position);
    if (position != at.position()) {
        at = at.next();
        position = at.isValid() ? at.position() : doc->characterCount() - 1;
    }
    const QTextBlock before = at.isValid() ? at.previous() : doc->lastBlock();
    const QString kept =
        recordLog::collapse(logLineBreaks(received), before.isValid() ? before.text() : QString());
    if (kept.isEmpty()) return false;
    const QString last = kept.left(kept.size() - kCrLf.size()).section(kCrLf, -1);
    QString boxText = kept;
    boxText.replace(kCrLf, QStringLiteral("\n"));
    QTextCursor edit(doc);
    edit.setPosition(position);
    edit.insertText(boxText);
    // The line after the place now follows the last line written; equal, it goes.
    const QTextBlock after = doc->findBlock(edit.position());
    if (after.isValid() && after != doc->lastBlock() && after.text() == last) {
        edit.setPosition(after.position());
        edit.setPosition(after.next().position(), QTextCursor::KeepAnchor);
        edit.removeSelectedText();
    }
    return true;
}

// Text the user typed into the log box is tidied like received text: every line equal to the
// one before it goes, and every line ends.
void RecordWndForm::tidyEditedLog() {
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    if (!log || !logEdited_) return;
    logEdited_ = false;
    ++logPasses_;
    QTextDocument* doc = log->document();
    editingLog_ = true;
    QTextCursor edit(doc);
    edit.beginEditBlock();
    QString previous;
    bool kept = false;
    for (QTextBlock b = doc->begin(); b.isValid();) {
        if (b.text() != previous) {
            previous = b.text();
            kept = true;
            b = b.next();
            continue;
        }
        const int position = b.position();
        const QTextBlock next = b.next();
        if (next.isValid()) {
            // The line and the break after it.
            edit.setPosition(position);
            edit.setPosition(next.position(), QTextCursor::KeepAnchor);
            edit.removeSelectedText();
            b = doc->findBlock(position);
        } else {
            // The last line and the break before it.
            if (position > 0) {
                edit.setPosition(position - 1);
                edit.setPosition(position + b.length() - 1, QTextCursor::KeepAnchor);
                edit.removeSelectedText();
            }
            break;
        }
    }
    if (kept) {
        edit.movePosition(QTextCursor::End);
        edit.insertText(QStringLiteral("\n"));
    }
    edit.endEditBlock();
    editingLog_ = false;
}

QString RecordWndForm::logContents() const {
    auto* log = control<QPlainTextEdit>(QStringLiteral("logText"));
    return log ? boxToText(log->toPlainText()) : QString();
}
