#include "workbench/aboutwndform.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "platform/shell.h"
#include "workbench/mainwndform.h"
#include "workbench/site.h"

namespace {

constexpr int kWidth = 4800;
constexpr int kHeight = 2520;

QLabel* makeLine(QWidget* parent, const QString& name, const QString& text, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    platform::placeTwips(label, 0, top, kWidth, 285);
    return label;
}

}  // namespace

AboutWndForm& AboutWndForm::instance() {
    static AboutWndForm* form = new AboutWndForm();
    return *form;
}

AboutWndForm::AboutWndForm() : platform::Form(QStringLiteral("AboutWndForm")) {}

QString AboutWndForm::siteAddress() {
    return Site::mainHost() + QLatin1Char('/');
}

void AboutWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("关于Velmora"));
    window->setFixedSize(platform::px(kWidth), platform::px(kHeight));

    makeLine(window, QStringLiteral("Label1"), MainWndForm::instance().version, 240);
    makeLine(window, QStringLiteral("Label2"), QStringLiteral("Velmora 网页自动化脚本工作台"), 600);
    makeLine(window, QStringLiteral("Label3"),
             QStringLiteral("Velmora 工作室 出品  欢迎交流与分享脚本"), 960);
    QLabel* site = makeLine(window, QStringLiteral("Label4"), siteAddress(), 1320);
    site->setCursor(Qt::PointingHandCursor);
    site->setStyleSheet(QStringLiteral("color: #0645ad; text-decoration: underline;"));
    site->installEventFilter(this);

    auto* ok = new QPushButton(QStringLiteral("确 定"), window);
    ok->setObjectName(QStringLiteral("Command1"));
    platform::placeTwips(ok, (kWidth - 1095) / 2, 1800, 1095, 375);
    connect(ok, &QPushButton::clicked, this, &AboutWndForm::close);
    setDialogButtons(ok, ok);
}

bool AboutWndForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        watched->objectName() == QLatin1String("Label4") &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // The window stays open.
        platform::openInSystemBrowser(siteAddress());
        return true;
    }
    return platform::Form::eventFilter(watched, event);
}
