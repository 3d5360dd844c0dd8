#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "platform/form.h"
#include "workbench/numbertext.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabBar;

namespace platform {
class WebBrowser;
}

// Numbers read from config.ini, converted the way the workbench has always converted them.
namespace MainWndNumbers {

// The number the text begins with: blanks (space, tab) before it skipped, an optional sign,
// digits with an optional "." and fraction, an optional exponent ("e" or "E", optional sign,
// digits). Whatever follows is ignored; a text that does not begin with a number gives 0.
double leadingNumber(const QString& text);

// The whole text as such a number, blanks around it allowed; empty when it is none.
std::optional<double> wholeNumber(const QString& text);

using NumberText::roundHalfEven;
using NumberText::toInt16;

// hideDivNameLen: the leading number, rounded, clamped to 1..32 (missing text gives 1).
int hideDivNameLength(const QString& text);

// flag: the whole text as a number, rounded into 16 bits. A missing, empty or non-numeric
// value, or one outside 16 bits, counts as 1 (no version check), as the shipped settings.
qint16 updateFlag(const QString& text);

}  // namespace MainWndNumbers

// The workbench's start-up window: the script library by category (one tab per folder of
// "script", one list line per ".txt" file), the properties of the picked script, and the row
// of ten tool buttons. Closing it ends the program.
//
// Controls carry the object names of the design: the tool buttons are QPushButtons named
// "toolsCmd_0" to "toolsCmd_9" (the number is the button's index, also kept in the dynamic
// property "index"); TabFile is a QTabBar, ListFile a QListWidget with extended selection,
// AttributeFrame a QGroupBox, folderMenu a QMenu whose QActions are newFolderActive,
// editFolderActive and delFolderActive; totalWB is a hidden platform::WebBrowser.
class MainWndForm : public platform::Form {
    Q_OBJECT
  public:
    static MainWndForm& instance();

    // Settings read at start-up from config.ini, section "tolvar".
    QString version;         // key "version", as stored
    qint16 checkUpdate = 1;  // key "flag": 0 runs the version check at start-up
    QString rndFlagStr;      // random element id made by emailname at start-up
    // config.ini was there at start-up but could not be read: version is then no reading of
    // it, and the settings dialog must not write it over the file.
    bool configUnreadable = false;

    // The folder tabs, then the script list of the selected tab.
    void refreshScript();
    // A random id of l characters (1 to 32): md5Hex of the time of day, its first character
    // made a letter "e" to "k" when it is a digit.
    QString emailname(qint16 l);

    // The windows the tool row opens, each wired by that window's own code, for example
    //     MainWndForm::instance().windows.showScriptWindow = [] { ... };
    // A row whose window is not wired does the parts that need no window (and the list
    // reload); 新 建 and 修 改 hide this window only when the script window was shown.
    struct ToolWindows {
        std::function<void()> showScriptWindow;     // ScriptWndForm, modeless
        std::function<void(int)> setScriptBoard;    // ScriptWndForm.setBoard(1 or 2)
        std::function<void()> showRecordWindow;     // RecordWndForm
        std::function<void()> showSearchWindow;     // SearchWndForm
        std::function<void()> showShareWindow;      // ShareWndForm
        std::function<void(qint16)> setConfigData;  // ConfigWndForm.setData(checkUpdate)
        std::function<void()> showConfigWindow;     // ConfigWndForm
        std::function<void()> showAboutWindow;      // AboutWndForm
        // MakeBoxForm.setBoxData(skin name, category, script name, the script's file name)
        std::function<void(const QString&, const QString&, const QString&, const QString&)>
            setBoxData;
        std::function<void()> showMakeBox;  // MakeBoxForm
    };
    ToolWindows windows;

    // Closing the window quits the application; tests switch that off.
    void setQuitOnClose(bool quit) { quitOnClose_ = quit; }

    static constexpr int kToolCount = 10;
    static constexpr int kMinWidthTwips = 10530;
    static constexpr int kMinHeightTwips = 8115;
    // Caption of the tool button with that index ("新 建" ... "打 包").
    static QString toolCaption(int index);

    // The folder the library lives in: program folder & "/script".
    static QString scriptFolder();

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;
    void onUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    MainWndForm();
    void makeControls(QWidget* window);
    void makeTotalBrowser();
    void startUp();
    void layoutControls();
    void loadFolderTabs();
    void loadScriptList();
    void openScript(QListWidgetItem* item);
    static QString categoryFolder(const QString& category);
    // The file an entry of the script list stands for.
    QString scriptFile(const QListWidgetItem* item) const;
    // The entry the user chose (current and selected), or null.
    QListWidgetItem* chosenEntry() const;
    void showScriptAttribute();
    // Empties the properties: nothing is picked.
    void clearScriptAttribute();
    // The properties follow the chosen entry: those of its script, or none without one.
    void followChosenEntry();
    void toolClicked(int index);
    void deleteScripts();
    void newFolder();
    void editFolder();
    void delFolder();
    QString selectedCategory() const;  // caption of the selected tab; empty without one

    bool quitOnClose_ = true;
    bool fillingTabs_ = false;
    bool checkingVersion_ = false;  // 升 级 waits for the site
    QString shownPath_;             // the file whose properties are on show

    // Controls of the loaded window.
    QList<QPointer<QPushButton>> toolsCmd_;
    QPointer<QTabBar> tabFile_;
    QPointer<QListWidget> listFile_;
    QPointer<QGroupBox> attributeFrame_;
    QPointer<QLineEdit> scriptNameText_;
    QPointer<QLineEdit> scriptAuthorText_;
    QPointer<QPlainTextEdit> scriptInfoText_;
    QPointer<QLabel> scriptPicture_;
    QPointer<platform::WebBrowser> totalWB_;
    QPointer<QMenu> folderMenu_;
};
