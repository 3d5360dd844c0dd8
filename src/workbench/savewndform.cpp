#include "workbench/savewndform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

    fillFolderList();
}

void SaveWndForm::fillFolderList() {
    auto* folder = control<QComboBox>(QStringLiteral("folderCombo"));
    if (!folder) return;
    folder->clear();
    const QDir script(platform::programFile(QStringLiteral("script")));
    const QFileInfoList entries = script.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.toUpper() == QLatin1String("PAGEFILE.SYS")) continue;
        if (entry.isDir()) folder->addItem(name);
    }
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
        if (!ScriptModule::saveScriptFile(folderPath + QLatin1Char('/') + scriptName +
                                          QStringLiteral(".txt"))) {
            // Nothing was written; the dialog keeps the name so that the user can try again.
            tell(QStringLiteral("脚本保存失败,请检查目录是否存在、文件是否可写"), widget());
            return;
        }
    }
    MainWndForm::instance().refreshScript();
    dismiss();
}

void SaveWndForm::exitClicked() {
    dismiss();
}

void SaveWndForm::dismiss() {
    hide();
    if (auto* name = control<QLineEdit>(QStringLiteral("scriptText"))) name->clear();
}
