#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class ScriptLines;
class ScriptView;

// The code pane of the script window: the script code in a code view (English keywords, as
// stored) or an explain view (keywords in Chinese) at the same place, a palette of
// statement buttons, the two lists of the functions defined in the text, and the plug-in
// list whose ticked names are the script's includes.
class ScriptEditPanel : public QWidget {
    Q_OBJECT
  public:
    explicit ScriptEditPanel(QWidget* parent = nullptr);
    ~ScriptEditPanel() override;

    // Puts the code into the code view (whichever view is shown), lone LFs made CR LF.
    void setScriptText(const QString& cin);
    // Appends the plug-in names of headListMenu (PluginEntry lines; empty lines skipped) to
    // the plug-in list and ticks every entry named in headList. A missing headList ticks
    // nothing; a missing headListMenu adds nothing.
    void setScrtipHeadList(const std::optional<QStringList>& headListMenu,
                           const std::optional<QStringList>& headList);
    // The ticked plug-in names, first to last; empty when none is ticked.
    QStringList getScriptList() const;
    // The code with English keywords, whichever view is shown.
    QString getScriptText() const;

    // The text of the view in use, as last set by its change, setScriptText or a switch.
    QString currentScriptText() const;
    bool isExplainView() const;

    // Lays the controls out from the panel's size; runs on every resize of the panel and
    // puts the seven fixed lists back to their first items.
    void layoutControls();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildControls();
    void showExplainView();
    void showCodeView();
    void setViewText(ScriptView* view, const QString& text);
    QString viewText(const QPlainTextEdit* view) const;
    // The text of a view, known without reading it when the view is the one in use.
    QString textOf(const QPlainTextEdit* view) const;
    void viewChanged(QPlainTextEdit* view);
    void rebuildFunctionLists();
    ScriptView* shownView() const;
    void insertSnippet(const QString& snippet);
    void paletteTabChanged(int index);
    void timerClicked();

    ScriptLines* linesOf(const QPlainTextEdit* view) const;

    // The text is read out of its view only when asked for: a keystroke in a long script
    // must not copy the whole of it. currentSource_ is the view the text is to be read
    // from, or null when currentScriptText_ was set apart from any view; sourceRead_ says
    // that currentScriptText_ already holds what that view shows.
    mutable QString currentScriptText_;
    const QPlainTextEdit* currentSource_ = nullptr;
    mutable bool sourceRead_ = false;
    std::unique_ptr<ScriptLines> codeLines_;
    std::unique_ptr<ScriptLines> explainLines_;
    bool settingText_ = false;
    QStringList listedFunctions_;

    QPushButton* explainCommand_ = nullptr;
    QPushButton* codeCommand_ = nullptr;
    QTabWidget* scriptTabStrip_ = nullptr;
    ScriptView* codeText_ = nullptr;
    ScriptView* explainText_ = nullptr;
    QFrame* baseCodeFrame_ = nullptr;
    QFrame* ctrlCodeFrame_ = nullptr;
    QFrame* otherCodeFrame_ = nullptr;
    QFrame* pluginFrame_ = nullptr;

    QLineEdit* alertText_ = nullptr;
    QPushButton* alertCommand_ = nullptr;
    QLineEdit* searchText_ = nullptr;
    QComboBox* searchCombo_ = nullptr;
    QPushButton* searchCommand_ = nullptr;
    QLineEdit* ctrlText_ = nullptr;
    QComboBox* ctrlCombo_ = nullptr;
    QPushButton* ctrlCommand_ = nullptr;
    QLineEdit* readText_ = nullptr;
    QComboBox* readCombo_ = nullptr;
    QPushButton* readCommand_ = nullptr;
    QPushButton* tryCommand_ = nullptr;
    QComboBox* notesCombo_ = nullptr;
    QPushButton* notesCommand_ = nullptr;
    QLineEdit* judgeText_ = nullptr;
    QComboBox* judgeCombo_ = nullptr;
    QPushButton* judgeCommand_ = nullptr;
    QComboBox* functionCombo_ = nullptr;
    QPushButton* useFunctionCommand_ = nullptr;
    QLineEdit* functionText_ = nullptr;
    QPushButton* functionCommand_ = nullptr;
    QComboBox* timerCombo_ = nullptr;
    QLineEdit* timerText_ = nullptr;
    QComboBox* timeUnitsCombo_ = nullptr;
    QComboBox* functionLineCombo_ = nullptr;
    QPushButton* timerCommand_ = nullptr;
    QListWidget* pluginList_ = nullptr;
};
