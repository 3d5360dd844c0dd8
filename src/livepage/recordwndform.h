#pragma once

#include <QString>
#include <QtGlobal>

#include "livepage/browserhost.h"
#include "platform/form.h"

class QPlainTextEdit;
class QTimer;

namespace platform {
class WebBrowser;
}

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
    void appendToLog(const QString& received);
    void setLogContents(const QString& text);

    livePage::BrowserHost host_;
    int busy_ = 0;  // a page call of this window is waiting; ticks keep off meanwhile
};

namespace recordLog {

// One collection step on the log text: split at CR LF, drop every piece equal to the one
// before it (the first compared with the empty text), end each kept piece with CR LF.
QString collapse(const QString& text);

}  // namespace recordLog
