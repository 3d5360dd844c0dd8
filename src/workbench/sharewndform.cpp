#include "workbench/sharewndform.h"

#include <QFile>
#include <QPushButton>
#include <QRadioButton>

#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "workbench/makeboxform.h"
#include "workbench/site.h"

namespace {

constexpr int kOptionCount = 3;
constexpr qsizetype kChunkBytes = 1024;

QString optionName(int index) {
    return QStringLiteral("shareOption_") + QString::number(index);
}

}  // namespace

ShareWndForm& ShareWndForm::instance() {
    static ShareWndForm* form = new ShareWndForm();
    return *form;
}

ShareWndForm::ShareWndForm() : platform::Form(QStringLiteral("ShareWndForm")) {}

QString ShareWndForm::uploadBoxPath() {
    return platform::programFile(QStringLiteral("upload.tmp"));
}

void ShareWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("分享脚本"));
    window->setFixedSize(platform::px(4200), platform::px(2580));

    const QString captions[kOptionCount] = {QStringLiteral("共享源代码及打包文件"),
                                            QStringLiteral("仅共享源代码"),
                                            QStringLiteral("仅共享打包文件")};
    for (int i = 0; i < kOptionCount; ++i) {
        auto* option = new QRadioButton(captions[i], window);
        option->setObjectName(optionName(i));
        option->setProperty("index", i);
        platform::placeTwips(option, 480, 240 + i * 480, 3360, 375);
    }
    control<QRadioButton>(optionName(0))->setChecked(true);

    auto* share = new QPushButton(QStringLiteral("上 传"), window);
    share->setObjectName(QStringLiteral("shareCommand"));
    platform::placeTwips(share, 600, 1800, 1215, 420);
    connect(share, &QPushButton::clicked, this, &ShareWndForm::shareClicked);
    // Opened again while an upload still waits, it takes no second one.
    share->setEnabled(!busy_);

    auto* exit = new QPushButton(QStringLiteral("取 消"), window);
    exit->setObjectName(QStringLiteral("exitCommand"));
    platform::placeTwips(exit, 2280, 1800, 1215, 420);
    connect(exit, &QPushButton::clicked, this, &ShareWndForm::hide);
    setDialogButtons(share, exit);
}

int ShareWndForm::selectedOption() const {
    for (int i = 0; i < kOptionCount; ++i) {
        const auto* option = control<QRadioButton>(optionName(i));
        if (option && option->isChecked()) return i;
    }
    return 0;
}

QString ShareWndForm::shareBody(const QString& name, const QString& information,
                                const QString& openText, const QString& closeText) {
    return QStringLiteral("filename=") + name + QStringLiteral("&infor=") + information +
           QStringLiteral("&openFile=") + openText + QStringLiteral("&closeFile=") + closeText;
}

QString ShareWndForm::postShare(const QString& name, const QString& information,
                                const QString& openText, const QString& closeText, QString* why) {
    const platform::HttpReply reply = platform::httpPost(
        Site::shareAddress(), platform::toAnsi(shareBody(name, information, openText, closeText)),
        QStringLiteral("Content-Type: application/x-www-form-urlencoded"),
        Site::requestTimeoutMs());
    if (why) why->clear();
    // An error page is no answer of the share page, whatever its text.
    if (!reply.complete || reply.status < 200 || reply.status >= 300) {
        if (why) *why = Site::failureText(reply);
        if (why && why->isEmpty()) *why = QStringLiteral("网站出错(HTTP %1)").arg(reply.status);
        return QStringLiteral("error");
    }
    const QString chunk = platform::fromAnsi(reply.body.left(kChunkBytes));
    if (chunk == QLatin1String("ok") || chunk == QLatin1String("has")) return chunk;
    if (why) *why = QStringLiteral("网站的回答无法识别");
    return QStringLiteral("error");
}

void ShareWndForm::shareClicked() {
    if (busy_) return;
    busy_ = true;
    if (auto* share = control<QPushButton>(QStringLiteral("shareCommand")))
        share->setEnabled(false);

    const int option = selectedOption();
    const ScriptDocument& doc = ScriptModule::scriptDocument();
    const QString scriptPath = doc.currentScriptPath;
    const bool withBox = option != 1;
    const QString boxPath = uploadBoxPath();

    QString source, box;
    if (withBox) {
        // A box left behind by an earlier run must never be uploaded in place of this one.
        QFile::remove(boxPath);
        if (MakeBoxForm::makePackage(platform::programFile(QStringLiteral("css/default.skin")),
                                     scriptPath, boxPath))
            box = ScriptModule::readTextFile(boxPath);
    }
    if (option != 2) source = ScriptModule::readTextFile(scriptPath);

    // The name and description go with the file that is shared: the script window clears
    // the document when it closes, while the file stays the one to share.
    ScriptDocument shared;
    const bool readable = ScriptModule::readScriptFile(scriptPath, shared);
    QString why;
    const QString reply =
        postShare(readable ? shared.name : doc.name,
                  readable ? shared.information : doc.information, source, box, &why);

    if (reply == QLatin1String("ok") || reply == QLatin1String("has")) {
        platform::messageBox(
            reply == QLatin1String("ok") ? QStringLiteral("上传成功,谢谢您的分享~!")
                                         : QStringLiteral("此文件已存在请重新选择~!"),
            platform::MsgButtons::Ok, QStringLiteral("提示"), platform::MsgIcon::None, widget());
        hide();
    } else {
        // No network, no answer and a site that refused all fail alike: the second line
        // tells which.
        platform::messageBox(QStringLiteral("上传失败,请检查网络~!\n") + why,
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::None, widget());
    }
    if (withBox) QFile::remove(boxPath);

    busy_ = false;
    // The window may have been closed and opened again during the wait: its button now is
    // the one to give back.
    if (auto* button = control<QPushButton>(QStringLiteral("shareCommand")))
        button->setEnabled(true);
}
