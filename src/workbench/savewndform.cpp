#include "workbench/savewndform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "library/folderlist.h"
#include "library/scriptdocument.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "workbench/mainwndform.h"

namespace {

const QString kTitle = QStringLiteral("提示");

void tell(const QString& text, QWidget* parent) {
    platform::messageBox(text, platform::MsgButtons::Ok, kTitle, platform::MsgIcon::None, parent);
}

}  // namespace

SaveWndForm& SaveWndForm::instance() {
    static SaveWndForm* form = new SaveWndForm();
    return *form;
}

SaveWndForm::SaveWndForm() : platform::Form(QStringLiteral("SaveWndForm")) {}

QString SaveWndForm::defaultCategory() {
    return QStringLiteral("我的脚本");
}

void SaveWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("保存脚本"));
    window->setFixedSize(platform::px(3495), platform::px(1980));

    auto* folderLabel = new QLabel(QStringLiteral("目录名称:"), window);
    folderLabel->setObjectName(QStringLiteral("folderLabel"));
    platform::placeTwips(folderLabel, 480, 390, 1035, 255);
    auto* folder = new QComboBox(window);
    folder->setObjectName(QStringLiteral("folderCombo"));
    folder->setEditable(false);
    platform::placeTwips(folder, 1560, 360, 1455, 300);

    auto* scriptLabel = new QLabel(QStringLiteral("脚本名称:"), window);
    scriptLabel->setObjectName(QStringLiteral("scriptLabel"));
    platform::placeTwips(scriptLabel, 480, 750, 1035, 255);
    auto* name = new QLineEdit(window);
    name->setObjectName(QStringLiteral("scriptText"));
    platform::placeTwips(name, 1560, 720, 1455, 300);

    auto* save = new QPushButton(QStringLiteral("保 存"), window);
    save->setObjectName(QStringLiteral("saveCommand"));
    platform::placeTwips(save, 480, 1200, 1095, 375);
    connect(save, &QPushButton::clicked, this, &SaveWndForm::saveClicked);
    auto* exit = new QPushButton(QStringLiteral("取 消"), window);
    exit->setObjectName(QStringLiteral("exitCommand"));
    platform::placeTwips(exit, 1920, 1200, 1095, 375);
    connect(exit, &QPushButton::clicked, this, &SaveWndForm::exitClicked);
    setDialogButtons(save, exit);

    fillFolderList();
}

void SaveWndForm::fillFolderList() {
    auto* folder = control<QComboBox>(QStringLiteral("folderCombo"));
    if (!folder) return;
    folder->clear();
    folder->addItems(FolderList::subFolders(platform::programFile(QStringLiteral("script"))));
    // A library without any category would leave nowhere to save to, and the main window,
    // where categories are made, is hidden while the script window is open.
    offersDefaultCategory_ = folder->count() == 0;
    if (offersDefaultCategory_) folder->addItem(defaultCategory());
    folder->setCurrentIndex(0);
}

void SaveWndForm::saveClicked() {
    auto* folder = control<QComboBox>(QStringLiteral("folderCombo"));
    auto* name = control<QLineEdit>(QStringLiteral("scriptText"));
    if (!folder || !name) return;
    const QString scriptName = name->text();
    if (scriptName.isEmpty()) {
        tell(QStringLiteral("文件名不能为空"), widget());
    } else {
        // A separator would put the file outside the chosen category, or fail.
        if (scriptName.contains(QLatin1Char('/')) || scriptName.contains(QLatin1Char('\\'))) {
            tell(QStringLiteral("脚本名称不能包含 \\ 或 /"), widget());
            return;
        }
        const QString category = folder->currentText();
        const QString folderPath = platform::programFile(QStringLiteral("script/") + category);
        if (offersDefaultCategory_ && category == defaultCategory()) QDir().mkpath(folderPath);
        const QString path = folderPath + QLatin1Char('/') + scriptName + QStringLiteral(".txt");
        // Another script of that name would be lost: the user says whether it goes. The
        // dialog keeps the name, so that another one can be typed.
        if (QFileInfo(path).isFile() &&
            platform::messageBox(QStringLiteral("目录") + category + QStringLiteral("中已有脚本") +
                                     scriptName + QStringLiteral(",要替换它吗?"),
                                 platform::MsgButtons::YesNo, kTitle, platform::MsgIcon::Question,
                                 widget()) != platform::MsgAnswer::Yes)
            return;
        ScriptModule::SaveFailure why = ScriptModule::SaveFailure::None;
        if (!ScriptModule::saveScriptFile(path, &why)) {
            // Nothing was written; the dialog keeps the name so that the user can try again.
            tell(why == ScriptModule::SaveFailure::Content
                     ? unsavableScriptMessage()
                     : QStringLiteral("脚本保存失败,请检查目录是否存在、文件是否可写"),
                 widget());
            return;
        }
        // A script that had a file is now the script of the new one: the next 保 存 writes
        // there, not over the file it was saved away from. A new script keeps asking.
        ScriptDocument& doc = ScriptModule::scriptDocument();
        if (!doc.currentScriptPath.isEmpty()) doc.currentScriptPath = path;
    }
    MainWndForm::instance().refreshScript();
    dismiss();
}

QString SaveWndForm::unsavableScriptMessage() {
    return QStringLiteral(
        "脚本中有无法写入文件的内容(例如界面元素的名称含有不支持的字符),未保存,原文件未改动");
}

void SaveWndForm::exitClicked() {
    dismiss();
}

void SaveWndForm::dismiss() {
    hide();
    if (auto* name = control<QLineEdit>(QStringLiteral("scriptText"))) name->clear();
}
