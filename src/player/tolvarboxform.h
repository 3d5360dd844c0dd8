#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

#include "livepage/browserhost.h"
#include "platform/form.h"
#include "platform/tray.h"

class QComboBox;
class QLineEdit;

namespace platform {
class WebBrowser;
}

// "ZandrelV2.0": the box player, a small web browser for end users. At start it lists the box
// files of the program folder, opens the box chosen last time and shows an introduction page
// for it; every completed top-level page whose address holds one of the box's targets gets
// the box (its skin, board and script) put into it. Minimised, it hides behind a tray icon.
//
// Controls carry the object names of the design: toolsFrame holding toolBtn_0 .. toolBtn_5
// (property "index"), scriptListLabel, scriptListCombo and the hidden totalWB; urlLabel,
// urlText, newWndCombo, urlCommand, and boxWB (element 0 of the browser array).
class TolvarBoxForm : public platform::Form {
    Q_OBJECT
  public:
    static TolvarBoxForm& instance();

    // The window object's fields; they keep their values while the window is closed.
    QString currentBoxFile;  // file name of the chosen box, extension included, no folder
    QString boxSkinText;     // decoded skin of the open box
    QString boxScriptText;   // decoded script XML of the open box
    qint16 curBrowserIndex = 0;
    qint16 newWindowMode = 0;

    // What the search button shows: the search window of box files. Set by the program's
    // start-up; without it the button does nothing.
    std::function<void()> showSearchWindow;

    // Runtime components the player was once shipped with, in the order they are registered.
    static QStringList componentFiles();
    // Where the platform has a registration step, each component's command goes here, in
    // order; unset (Linux and the like), nothing is done per component.
    std::function<void(const QString& command)> registerComponent;

    // Longest wait for the blank page before the introduction page is built regardless.
    static constexpr int kIntroWaitLimitMs = 30000;

    // Whether the desktop can show the tray icon. Without one, a minimised window stays on the
    // task bar instead of hiding: a hidden window could never be brought back.
    std::function<bool()> trayAvailable;

    livePage::BrowserHost& host() { return host_; }
    platform::TrayIcon& tray() { return tray_; }

    // The toolbar buttons' actions by index (0 home, 1 back, 2 refresh, 3 forward, 4 stop,
    // 5 search); the buttons call this.
    void toolClicked(int index);

  Q_SIGNALS:
    // The blank page shows the introduction page, or the welcome or refusal text in its place.
    // The window is on screen before: the page follows once the blank page has loaded.
    void introPageShown();

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;
    void onUnload() override;

  private:
    TolvarBoxForm();
    void makeControls(QWidget* window);
    bool startUpPass();
    void registerComponents();
    void loadBoxList();
    void loadDefaultScript();
    void chooseBox(const QString& fileName);
    void showIntroPage();
    void buildIntroPage(platform::WebBrowser* inUse);
    void matchTargets(platform::WebBrowser* inUse);
    void layoutControls();
    void restoreFromTray();

    livePage::BrowserHost host_;
    platform::TrayIcon tray_;
};

namespace playerIntro {

// The box's values that the template's tokens stand for; "${localPath}" stands for the
// program folder as a "file://" address.
struct IntroValues {
    QString icon;         // "${scriptIcon}"
    QString name;         // "${scriptName}"
    QString author;       // "${scriptAuthor}"
    QString home;         // "${scriptPage}"
    QString information;  // "${scriptInfo}"
};

// The safety test of the introduction page: the template with the six tokens replaced, in
// their order, may not hold "frame" or "script" anywhere (case-sensitive), the box's values
// included; the program folder is left out of it.
bool isSafe(const QString& templateText, const IntroValues& values);

// The page parts of the template, wrapped in "<root>" and "</root>", with the values put in:
// its first style element's text, and the markup of its first body element's children. Each
// value goes in as data of the place it lands in (text, attribute, CSS, address); an address
// attribute or url() that would not hold a web address (http or https) is left out. Both
// empty when the template is not well-formed once wrapped.
struct IntroParts {
    QString css;
    QString bodyHtml;
};
IntroParts introParts(const QString& templateText, const IntroValues& values,
                      const QString& folder);

// Whether a completed address holds any of the targets (case-sensitive; an empty target
// matches every address).
bool matchesTarget(const QString& url, const QStringList& targets);

}  // namespace playerIntro
