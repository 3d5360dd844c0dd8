#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <memory>
#include <vector>

#include "livepage/browserhost.h"
#include "platform/form.h"

class QPlainTextEdit;
class QTextDocument;
class QTimer;

namespace platform {
class BrowserArray;
class WebBrowser;
}  // namespace platform

// "录制脚本": records what the user does in a page. Every completed top-level page gets the
// hidden field "tv_hidden" and the recorder script of the plug-in file Stellock.dll; while
// recording is on the script writes one statement line per action into the field, and the
// window moves the lines into its log box every 50 ms. The user copies them from there.
//
// Controls carry the object names of the design: urlLabel, urlText, newWndCombo, jumpCommand,
// recordWB (element 0 of the browser array), logFrame with startCommand, stopCommand,
// clearCommand and logText, and the timers Timer1 (collection) and Timer2 (layout).
class RecordWndForm : public platform::Form {
    Q_OBJECT
  public:
    static RecordWndForm& instance();

    // The window object's fields; they keep their values while the window is closed.
    QString recorderScript;  // decoded plug-in script; empty until a read gave text
    bool isRecording = false;
    qint16 curBrowserIndex = 0;
    qint16 newWindowMode = 0;

    livePage::BrowserHost& host() { return host_; }

    // The log box's text as the window keeps it: every line ends in CR LF.
    QString logContents() const;
    // How often the window has gone over its whole log: only after the user edited it. Lines
    // that arrive, and ticks that bring none, touch only the lines next to their place.
    int logPasses() const { return logPasses_; }

    static constexpr int kMinWidthTwips = 12315;
    static constexpr int kMinHeightTwips = 8415;
    static constexpr int kCollectIntervalMs = 50;
    static constexpr int kLayoutIntervalMs = 1000;

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;
    void onUnload() override;

  private:
    RecordWndForm();
    void makeControls(QWidget* window);
    void runLoad();
    void readPlugin(const QString& path);
    void layoutControls();
    void injectRecorder(platform::WebBrowser* inUse);
    void startRecording();
    void stopRecording();
    void collect();
    void collectBeforeSwitch(int index);
    struct LogSlot;
    void takeField(platform::WebBrowser* from, bool evenIfAsked);
    void fieldTaken(const QPointer<platform::WebBrowser>& from,
                    const std::shared_ptr<LogSlot>& slot, const QVariant& value);
    bool holdAsker(int index);
    std::shared_ptr<LogSlot> reserveSlot();
    void writeAt(const std::shared_ptr<LogSlot>& slot, const QString& received);
    static bool writeLines(QTextDocument* doc, int position, const QString& received);
    void tidyEditedLog();
    void forgetLog();

    livePage::BrowserHost host_;
    int busy_ = 0;  // a page call of this window is waiting; ticks keep off meanwhile
    // Places in the log held for answers still on their way, oldest first.
    std::vector<std::shared_ptr<LogSlot>> slots_;
    // Elements that asked for a kept new window while their field was still being read; each
    // is unloaded once its page has answered.
    struct HeldElement {
        QPointer<platform::BrowserArray> array;
        int index;
        QPointer<platform::WebBrowser> element;
    };
    QList<HeldElement> held_;
    bool logEdited_ = false;   // the user changed the log box since it was last tidied
    bool editingLog_ = false;  // the window itself is changing it
    int logPasses_ = 0;
};

namespace recordLog {

// One collection step on the log text: split at CR LF, drop every piece equal to the one
// before it (the first compared with `before`, the log's line ahead of the text: the empty
// text for a whole log), end each kept piece with CR LF.
QString collapse(const QString& text, const QString& before = QString());

}  // namespace recordLog
