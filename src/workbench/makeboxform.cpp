#include "workbench/makeboxform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "library/boxfile.h"
#include "library/folderlist.h"
#include "library/textfile.h"
#include "platform/core/programfolder.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "workbench/mainwndform.h"
#include "workbench/sharewndform.h"

namespace {

const QString kSkinExt = QStringLiteral(".skin");
const QString kScriptExt = QStringLiteral(".txt");
// Each list entry keeps the name of the file it stands for: the shown name has every
// occurrence of the extension removed, so "a.txt.txt" shows as "a" and could not be found
// again from its text.
constexpr int kFileRole = Qt::UserRole;

void fillWithFiles(QComboBox* combo, const QString& folder, const QString& ext,
                   bool sorted = false) {
    QList<FolderList::Entry> files = FolderList::filesMarked(folder, ext, true);
    if (sorted) FolderList::sortByName(files);
    for (const FolderList::Entry& e : files) combo->addItem(e.text, e.fileName);
}

QComboBox* makeCombo(QWidget* window, const QString& name, const QString& label, int top) {
    auto* caption = new QLabel(label, window);
    caption->setObjectName(name + QStringLiteral("Label"));
    platform::placeTwips(caption, 240, top + 45, 1020, 255);
    auto* combo = new QComboBox(window);
    combo->setObjectName(name);
    combo->setEditable(false);
    platform::placeTwips(combo, 1320, top, 3600, 315);
    caption->setBuddy(combo);
    return combo;
}

}  // namespace

MakeBoxForm& MakeBoxForm::instance() {
    static MakeBoxForm* form = new MakeBoxForm();
    return *form;
}

MakeBoxForm::MakeBoxForm() : platform::Form(QStringLiteral("MakeBoxForm")) {}

bool MakeBoxForm::makePackage(const QString& skinPath, const QString& scriptPath,
                              const QString& boxPath) {
    return BoxFile::writeBox(skinPath, scriptPath, boxPath);
}

void MakeBoxForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("制作盒子"));
    window->setFixedSize(platform::px(5280), platform::px(3120));

    makeCombo(window, QStringLiteral("cssFileCombo"), QStringLiteral("皮肤列表:"), 240);
    QComboBox* folder =
        makeCombo(window, QStringLiteral("folderCombo"), QStringLiteral("目录名称:"), 720);
    makeCombo(window, QStringLiteral("scriptCombo"), QStringLiteral("脚本名称:"), 1200);

    auto* pathLabel = new QLabel(QStringLiteral("导出路径:"), window);
    pathLabel->setObjectName(QStringLiteral("pathTextLabel"));
    platform::placeTwips(pathLabel, 240, 1725, 1020, 255);
    auto* path = new QLineEdit(window);
    path->setObjectName(QStringLiteral("pathText"));
    platform::placeTwips(path, 1320, 1680, 2520, 330);
    pathLabel->setBuddy(path);

    auto* browse = new QPushButton(QStringLiteral("浏 览"), window);
    browse->setObjectName(QStringLiteral("pathCommand"));
    platform::placeTwips(browse, 3960, 1665, 960, 360);
    connect(browse, &QPushButton::clicked, this, &MakeBoxForm::pathClicked);

    auto* pack = new QPushButton(QStringLiteral("打 包"), window);
    pack->setObjectName(QStringLiteral("packageCommand"));
    platform::placeTwips(pack, 2040, 2280, 1095, 375);
    connect(pack, &QPushButton::clicked, this, &MakeBoxForm::packageClicked);
    setDialogButtons(pack);  // Esc closes the window

    connect(folder, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) fillScriptCombo();
    });

    fillFolderCombo();
    fillSkinCombo();
    newBoxPath();
}

void MakeBoxForm::fillFolderCombo() {
    auto* combo = control<QComboBox>(QStringLiteral("folderCombo"));
    if (!combo) return;
    filling_ = true;
    combo->clear();
    for (const QString& name :
         FolderList::subFolders(platform::programFile(QStringLiteral("script"))))
        combo->addItem(name, name);
    combo->setCurrentIndex(-1);
    filling_ = false;
}

void MakeBoxForm::fillSkinCombo() {
    auto* combo = control<QComboBox>(QStringLiteral("cssFileCombo"));
    if (!combo) return;
    combo->clear();
    // In the board editor's order.
    fillWithFiles(combo, platform::programFile(QStringLiteral("css")), kSkinExt, true);
    combo->setCurrentIndex(-1);
}

void MakeBoxForm::fillScriptCombo() {
    auto* scripts = control<QComboBox>(QStringLiteral("scriptCombo"));
    auto* folder = control<QComboBox>(QStringLiteral("folderCombo"));
    if (!scripts || !folder) return;
    scripts->clear();
    const QString category = selectedFile(folder);
    // The scripts are the files that end with the extension, as the library lists them.
    if (!category.isEmpty())
        for (const FolderList::Entry& e : FolderList::filesWithExtension(
                 platform::programFile(QStringLiteral("script/") + category), kScriptExt))
            scripts->addItem(e.text, e.fileName);
    scripts->setCurrentIndex(-1);
}

void MakeBoxForm::newBoxPath() {
    auto* path = control<QLineEdit>(QStringLiteral("pathText"));
    if (!path) return;
    // The folder the boxes go to by default; a fresh or tidied installation may lack it.
    const QString folder = platform::programFile(QStringLiteral("box"));
    if (!QFileInfo(folder).isDir()) QDir().mkpath(folder);
    // A name that is taken is drawn again, so that packing never replaces an earlier box
    // unasked. There are 999 names; when every one is taken the last one drawn stays.
    QString file;
    for (int tries = 0; tries < 10000; ++tries) {
        const int number = int(platform::rnd() * 999);
        file = folder + QStringLiteral("/Tolvar脚本") + QString::number(number) +
               QStringLiteral(".tvb");
        if (!QFileInfo::exists(file)) break;
    }
    path->setText(file);
}

void MakeBoxForm::setBoxData(const QString& skinName, const QString& folderName,
                             const QString& scriptName, const QString& scriptFile) {
    load();
    auto select = [](QComboBox* combo, const QString& name, const std::function<void()>& same) {
        if (!combo) return;
        for (int i = 0; i < combo->count(); ++i) {
            if (combo->itemText(i) != name) continue;
            // Choosing the entry that is already chosen is still a choice.
            if (combo->currentIndex() == i && same)
                same();
            else
                combo->setCurrentIndex(i);
        }
    };
    select(control<QComboBox>(QStringLiteral("cssFileCombo")), skinName, nullptr);
    select(control<QComboBox>(QStringLiteral("folderCombo")), folderName,
           [this] { fillScriptCombo(); });
    auto* scripts = control<QComboBox>(QStringLiteral("scriptCombo"));
    // Two scripts may show the same name ("a.txt" and "a.txt.txt"); the file names the one.
    const int byFile = scriptFile.isEmpty() || !scripts ? -1 : scripts->findData(scriptFile);
    if (byFile >= 0 && scripts->itemText(byFile) == scriptName)
        scripts->setCurrentIndex(byFile);
    else
        select(scripts, scriptName, nullptr);
}

QString MakeBoxForm::selectedFile(const QComboBox* combo) {
    if (!combo || combo->currentIndex() < 0) return QString();
    return combo->currentData(kFileRole).toString();
}

void MakeBoxForm::pathClicked() {
    auto* path = control<QLineEdit>(QStringLiteral("pathText"));
    if (!path) return;
    // The dialog starts at the current box path and holds it still after a cancel.
    const QFileInfo current(path->text());
    const QString chosen = platform::saveFileDialog(
        QStringLiteral("导出路径"), QStringLiteral("Zandrel文件(*.tvb)|*.tvb"),
        path->text().isEmpty() ? QString() : current.absolutePath(), current.fileName(), widget());
    if (!chosen.isEmpty() && path) path->setText(chosen);
}

void MakeBoxForm::packageClicked() {
    auto* skins = control<QComboBox>(QStringLiteral("cssFileCombo"));
    auto* folder = control<QComboBox>(QStringLiteral("folderCombo"));
    auto* scripts = control<QComboBox>(QStringLiteral("scriptCombo"));
    auto* path = control<QLineEdit>(QStringLiteral("pathText"));
    if (!skins || !folder || !scripts || !path) return;

    const QString skinFile = selectedFile(skins);
    const QString skinPath = platform::programFile(QStringLiteral("css/") + skinFile);
    const QString scriptFile = selectedFile(scripts);
    const QString scriptPath = platform::programFile(
        QStringLiteral("script/") + selectedFile(folder) + QLatin1Char('/') + scriptFile);

    // A box without its skin never shows a board in the player, and one without its script
    // does nothing: either is a failed export rather than an empty box, and the second line
    // of the message says why.
    QString why;
    if (skinFile.isEmpty())
        why = QStringLiteral("没有选择皮肤,请在皮肤列表中选择");
    else if (ScriptModule::readTextFile(skinPath).isEmpty())
        why = QStringLiteral("皮肤文件无法读取或是空的:") + skinFile;
    else if (scriptFile.isEmpty() || selectedFile(folder).isEmpty())
        why = QStringLiteral("没有选择脚本,请选择目录名称和脚本名称");
    else if (ScriptModule::readTextFile(scriptPath).isEmpty())
        why = QStringLiteral("脚本文件无法读取或是空的:") + scriptFile;
    else if (!makePackage(skinPath, scriptPath, path->text()))
        why = QStringLiteral("无法写入导出路径(文件夹不存在,或文件不可写):") + path->text();
    platform::messageBox(
        why.isEmpty() ? QStringLiteral("导出成功~!") : QStringLiteral("导出失败~!\n") + why,
        platform::MsgButtons::Ok, QStringLiteral("提示"), platform::MsgIcon::None, widget());
}

void wireBoxAndShareWindows() {
    MainWndForm::ToolWindows& w = MainWndForm::instance().windows;
    w.setBoxData = [](const QString& skin, const QString& folder, const QString& script,
                      const QString& file) {
        MakeBoxForm::instance().setBoxData(skin, folder, script, file);
    };
    w.showMakeBox = [] { MakeBoxForm::instance().show(); };
    w.showShareWindow = [] { ShareWndForm::instance().show(); };
}
