#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

#include "platform/form.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class ScriptEditPanel;
class SkinEditPanel;

// "脚本编辑器": edits the current script document in three tabs (properties and target
// addresses, code, board). The window keeps no script data of its own: reLoadData copies the
// document into the controls and panels, saveData copies them back, and only the save buttons
// write a file. Closing it clears the document and brings the main window back.
//
// Controls carry the object names of the design; the option pair is "pathOption_0" (本地路径)
// and "pathOption_1" (网络路径), the tab strip TabBoard a QTabWidget whose three frames lie
// over its body, scriptPicture a QLabel.
class ScriptWndForm : public platform::Form {
    Q_OBJECT
  public:
    static ScriptWndForm& instance();

    // Selects tab index (1 基本属性, 2 代码编辑, 3 界面编辑) as a click on it does, then
    // reLoadData. Another index selects nothing and still reloads.
    void setBoard(qint16 index);
    // Document into controls and panels; each failing step is skipped.
    void reLoadData();
    // Controls and panels into the document; no file is written.
    void saveData();

    // The live panels; the window is loaded (not shown) when it is not, as the debugger's
    // access needs. Null only while the window is being unloaded.
    ScriptEditPanel* scriptEdit();
    SkinEditPanel* skinEdit();

    // Whether "保 存" asks for a name through the save dialog instead of writing in place:
    // for a new script, and for a document that holds nothing (the state closing the window
    // leaves) while currentScriptPath still names the last script's file.
    bool savesThroughDialog() const;

    // The windows the tool bar opens that live elsewhere, each wired by that window's own
    // code, for example  ScriptWndForm::instance().windows.showRecordWindow = [] { ... };
    // A button whose window is not wired does nothing.
    struct ToolWindows {
        std::function<void()> showRecordWindow;  // RecordWndForm, modeless
        std::function<void()> showDebugWindow;   // DebugWndForm, modeless
    };
    ToolWindows windows;

    // Puts this window and the settings and about dialogs behind the main window's tool
    // buttons 新 建, 修 改, 设 置 and 关 于. The program calls it once at start-up.
    static void wireMainWindow();

    static constexpr int kMinWidthTwips = 11445;
    static constexpr int kMinHeightTwips = 9360;

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;
    void onUnload() override;

  private:
    ScriptWndForm();
    void makeToolBar(QWidget* window);
    void makeTabs(QWidget* window);
    void makePropertiesTab();
    void tabClicked(int index);
    void layoutControls();

    void saveClicked();
    void saveOtherClicked();
    void urlPoolClicked(int row);
    void addUrlClicked();
    void editUrlClicked();
    void delUrlClicked();
    void pathOptionClicked(int index);
    void showPathClicked();
    void previewIconClicked();

    bool openedOnClearedDocument_ = false;
    QStringList loadedInclude_;  // the document's plug-in names at the last reLoadData
    QString lastIconFile_;       // the file name last chosen in the icon dialog
    bool fillingPool_ = false;

    QPointer<QFrame> editToolsFrame_;
    QPointer<QTabWidget> tabBoard_;
    QPointer<QFrame> baseAttributeFrame_;
    QPointer<QFrame> codeEditFrame_;
    QPointer<QFrame> faceEditFrame_;
    QPointer<ScriptEditPanel> scriptEdit_;
    QPointer<SkinEditPanel> skinEdit_;

    QPointer<QLineEdit> scriptNameText_;
    QPointer<QLineEdit> scriptAuthorText_;
    QPointer<QComboBox> codeTypeCombo_;
    QPointer<QLineEdit> scriptPageText_;
    QPointer<QLineEdit> scriptPopText_;
    QPointer<QPlainTextEdit> scriptInfoText_;
    QPointer<QLineEdit> scriptIconText_;
    QPointer<QLabel> scriptPicture_;
    QPointer<QRadioButton> pathOption0_;
    QPointer<QRadioButton> pathOption1_;
    QPointer<QPushButton> showPathCommand_;
    QPointer<QListWidget> urlPoolList_;
    QPointer<QLineEdit> urlText_;
};
