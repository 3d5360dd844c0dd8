#include "workbench/configwndform.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "library/textfile.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "workbench/mainwndform.h"

ConfigWndForm& ConfigWndForm::instance() {
    static ConfigWndForm* form = new ConfigWndForm();
    return *form;
}

ConfigWndForm::ConfigWndForm() : platform::Form(QStringLiteral("ConfigWndForm")) {}

void ConfigWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("配置信息"));
    window->setFixedSize(platform::px(3360), platform::px(1560));

    // The box's own caption is hidden by its size; the label beside it is its caption.
    auto* check = new QCheckBox(window);
    check->setObjectName(QStringLiteral("Check1"));
    platform::placeTwips(check, 480, 360, 255, 255);

    auto* label = new QLabel(QStringLiteral("打开检查自动更新"), window);
    label->setObjectName(QStringLiteral("Label1"));
    platform::placeTwips(label, 840, 400, 2295, 255);
    label->setBuddy(check);

    auto* save = new QPushButton(QStringLiteral("保 存"), window);
    save->setObjectName(QStringLiteral("saveCommand"));
    platform::placeTwips(save, 1080, 840, 1095, 375);
    connect(save, &QPushButton::clicked, this, &ConfigWndForm::saveClicked);
    setDialogButtons(save);  // Esc closes without saving
}

void ConfigWndForm::setData(qint16 checkStr) {
    load();
    auto* check = control<QCheckBox>(QStringLiteral("Check1"));
    if (!check) return;
    if (checkStr == 0)
        check->setChecked(true);
    else if (checkStr == 1)
        check->setChecked(false);
}

QString ConfigWndForm::configText(const QString& version, qint16 flag) {
    return QStringLiteral("[tolvar]\r\nversion=") + version + QStringLiteral("\r\nflag=") +
           QString::number(flag);
}

void ConfigWndForm::saveClicked() {
    auto* check = control<QCheckBox>(QStringLiteral("Check1"));
    if (!check) return;
    MainWndForm& main = MainWndForm::instance();
    // The version kept is the one read at start-up: from a file that could not be read there
    // is none, and rewriting the file would lose the one it holds.
    if (main.configUnreadable) {
        platform::messageBox(QStringLiteral("配置文件config.ini无法读取,保存会覆盖其中的设置,"
                                            "设置未保存"),
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::Warning, widget());
        return;
    }
    const qint16 flag = check->isChecked() ? 0 : 1;
    // writeTextFile adds the last line's CR LF: three lines, nothing else.
    if (!ScriptModule::writeTextFile(platform::programFile(QStringLiteral("config.ini")),
                                     configText(main.version, flag))) {
        // The old file stays whole; the dialog stays open, so the user may try again.
        platform::messageBox(QStringLiteral("无法写入配置文件config.ini,设置未保存"),
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::Warning, widget());
        return;
    }
    main.checkUpdate = flag;
    hide();
}
