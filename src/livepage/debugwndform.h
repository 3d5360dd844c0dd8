#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "livepage/browserhost.h"
#include "livepage/pageinjection.h"
#include "platform/form.h"

class QComboBox;
class QGroupBox;

namespace platform {
class PageDocument;
class WebBrowser;
}  // namespace platform

// "调试窗口": tries the script being edited on a live page. Every completed top-level page is
// dressed with what the script window's editors hold at that moment (the ticked plug-ins'
// script tags, the board's skin with the board in it, the code) and with the analysis panel;
// single lines and the script's functions then run in the page, each run written to the
// history with its outcome.
//
// Controls carry the object names of the design: urlLabel, urlText, newWndCombo, jumpCommand,
// debugWB (element 0 of the browser array), debugFrame with functionLabel, functionCombo,
// executeFunctionCommand, tipsLabel, tipsText, lineLabel, lineText, languageCombo and
// executeLineCommand, and the layout timer Timer1.
class DebugWndForm : public platform::Form {
    Q_OBJECT
  public:
    static DebugWndForm& instance();

    // The window object's fields; they keep their values while the window is closed.
    QString analysisPanelText;  // raw text of Brannet.dll, read at every load
    qint16 curBrowserIndex = 0;
    qint16 newWindowMode = 0;
    qint16 debugFrameWidth = kFrameShownTwips;

    livePage::BrowserHost& host() { return host_; }

    // The history box's text as the window keeps it: every line ends in CR LF.
    QString historyContents() const;

    // The handlers of the two run buttons and of a double-click on the panel.
    void executeLine();
    void executeFunction();
    void toggleFrame();

    static constexpr qint16 kFrameShownTwips = 3615;
    static constexpr qint16 kFrameCollapsedTwips = 100;
    static constexpr int kMinWidthTwips = 10320;
    static constexpr int kMinHeightTwips = 7785;
    static constexpr int kLayoutIntervalMs = 1000;

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;
    void onUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    DebugWndForm();
    void makeControls(QWidget* window);
    void runLoad();
    bool loadSteps(const QString& firstLanguage);
    void fillFunctionList();
    void layoutControls();
    void documentComplete(int index, const QString& url);
    // The src of each plug-in tag, in the order of the ticked names.
    QStringList pluginSources() const;
    void addSkinAndScript(skinModule::PageInjection& injection);
    QString runInPage(const QString& language, const QString& code);
    void appendHistory(const QString& code, const QString& result);

    livePage::BrowserHost host_;
};
