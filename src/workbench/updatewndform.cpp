#include "workbench/updatewndform.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "platform/dialogs.h"
#include "platform/shell.h"
#include "workbench/mainwndform.h"

namespace {

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int left, int top,
                  int width) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    platform::placeTwips(label, left, top, width, 255);
    return label;
}

}  // namespace

UpdateWndForm& UpdateWndForm::instance() {
    static UpdateWndForm* form = new UpdateWndForm();
    return *form;
}

UpdateWndForm::UpdateWndForm() : platform::Form(QStringLiteral("UpdateWndForm")) {}

void UpdateWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("软件升级"));
    window->setFixedSize(platform::px(4095), platform::px(1980));

    makeLabel(window, QStringLiteral("Label1"), QStringLiteral("当前版本:"), 240, 240, 1035);
    makeLabel(window, QStringLiteral("Label3"), QString(), 1320, 240, 2535);
    makeLabel(window, QStringLiteral("Label2"), QStringLiteral("最新版本:"), 240, 600, 1035);
    makeLabel(window, QStringLiteral("Label4"), QString(), 1320, 600, 2535);

    auto* download = new QPushButton(QStringLiteral("下 载 最 新"), window);
    download->setObjectName(QStringLiteral("downloadCommand"));
    platform::placeTwips(download, 1440, 1200, 1215, 375);
    QObject::connect(download, &QPushButton::clicked, this, &UpdateWndForm::downloadClicked);

    auto* timer = new QTimer(window);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setInterval(1000);
    QObject::connect(timer, &QTimer::timeout, this, &UpdateWndForm::timerTick);
    timer->start();
}

void UpdateWndForm::setData(const QString& version, const QString& url) {
    load();
    const QString installed = MainWndForm::instance().version;
    if (auto* label = control<QLabel>(QStringLiteral("Label3"))) label->setText(installed);
    if (auto* label = control<QLabel>(QStringLiteral("Label4"))) label->setText(version);
    downloadUrl = url;
    if (auto* button = control<QPushButton>(QStringLiteral("downloadCommand")))
        button->setEnabled(version != installed);
    show();
}

void UpdateWndForm::timerTick() {
    // Shown again every second, so that it cannot stay hidden: brought back when hidden or
    // minimised, and one on show raised above the windows that cover it, the keyboard focus
    // left where the user works.
    QWidget* window = widget();
    if (!window) return;
    if (window->isMinimized())
        window->showNormal();
    else if (!window->isVisible())
        show();
    else
        window->raise();
}

void UpdateWndForm::downloadClicked() {
    // The address comes from the web site: only a web address goes to the system, never a
    // local program, file or script address. Blanks around it are the file's, not the
    // address's; the text that passed the test is the one opened.
    const QString address = downloadUrl.trimmed();
    if (!platform::isWebAddress(address)) {
        platform::messageBox(QStringLiteral("下载地址不是网页地址,无法打开:\n") + downloadUrl,
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::None, widget());
        return;
    }
    platform::openInSystemBrowser(address);
}
