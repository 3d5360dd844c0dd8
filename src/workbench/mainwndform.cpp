#include "workbench/mainwndform.h"

#include "workbench/toolpicture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabBar>
#include <QTimer>
#include <cmath>
#include <functional>
#include <optional>

#include "library/folderlist.h"
#include "library/ini.h"
#include "library/md5.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "platform/core/clock.h"
#include "platform/core/programfolder.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "platform/webbrowser.h"
#include "workbench/scriptpicture.h"
#include "workbench/site.h"
#include "workbench/sitetext.h"

// ---------------------------------------------------------------------------------------------
// Number conversions

namespace MainWndNumbers {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads a number at position i of s (no blanks skipped); returns the characters it took,
// 0 when there is no number there.
qsizetype scanNumber(QStringView s, qsizetype i, double& value) {
    const qsizetype start = i;
    QString plain;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) plain += s[i++];
    int digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        plain += s[i++];
        ++digits;
    }
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        qsizetype j = i + 1;
        QString fraction;
        while (j < s.size() && isDigit(s[j])) fraction += s[j++];
        if (digits > 0 || !fraction.isEmpty()) {
            plain += QLatin1Char('.') + fraction;
            digits += int(fraction.size());
            i = j;
        }
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exponent += s[j++];
        int expDigits = 0;
        while (j < s.size() && isDigit(s[j])) {
            exponent += s[j++];
            ++expDigits;
        }
        if (expDigits > 0) {
            plain += exponent;
            i = j;
        }
    }
    bool ok = false;
    value = plain.toDouble(&ok);
    if (!ok) {
        // Only an exponent out of range gets here: the number is then as large as it gets.
        value = plain.startsWith(QLatin1Char('-')) ? -HUGE_VAL : HUGE_VAL;
    }
    return i - start;
}

}  // namespace

double leadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    double value = 0;
    return scanNumber(text, i, value) > 0 ? value : 0.0;
}

std::optional<double> wholeNumber(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    if (b == e) return std::nullopt;
    double value = 0;
    if (scanNumber(QStringView(text).mid(b, e - b), 0, value) != e - b) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

int hideDivNameLength(const QString& text) {
    const double r = roundHalfEven(leadingNumber(text));
    if (!(r >= 1.0)) return 1;  // NaN included
    if (r > 32.0) return 32;
    return int(r);
}

qint16 updateFlag(const QString& text) {
    const std::optional<double> number = wholeNumber(text);
    if (!number) return 1;
    return toInt16(*number).value_or(qint16(1));
}

}  // namespace MainWndNumbers

// ---------------------------------------------------------------------------------------------
// Controls

namespace {

const QString kConfigSection = QStringLiteral("tolvar");

// Positions of the design, in twips.
constexpr int kToolTop = 120;
constexpr int kToolFirstLeft = 2040;
constexpr int kToolStep = 840;
constexpr int kToolWidth = 735;
constexpr int kToolHeight = 975;
constexpr int kTabTop = 1320;
constexpr int kListTop = 1680;
constexpr int kFrameLeft = 7560;
constexpr int kFrameWidth = 2655;

// Order of the tool buttons from the left, by index: 打 包 (9) stands after 分 享 (5).
constexpr int kToolOrder[MainWndForm::kToolCount] = {0, 1, 2, 3, 4, 5, 9, 6, 7, 8};

// A command button with its 48 x 48 picture above its caption.
class ToolButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        option.icon = QIcon();
        painter.drawControl(QStyle::CE_PushButton, option);
        const int side = qMin(48, qMin(width() - 2, height() - 16));
        const int top = 2;
        if (side > 0) {
            const QPixmap pix =
                icon().pixmap(QSize(side, side), isEnabled() ? QIcon::Normal : QIcon::Disabled);
            painter.drawPixmap((width() - side) / 2, top, pix);
        }
        const QRect textRect(0, top + qMax(side, 0), width(), height() - top - qMax(side, 0));
        painter.drawItemText(textRect, Qt::AlignCenter, palette(), isEnabled(), text(),
                             QPalette::ButtonText);
    }
};

QPixmap toolPicture(int index) {
    static const QColor colours[MainWndForm::kToolCount] = {
        QColor(0x3a, 0x8e, 0xd8), QColor(0x4c, 0xaf, 0x50), QColor(0xe0, 0x4f, 0x4f),
        QColor(0xd8, 0x6a, 0x2e), QColor(0x7e, 0x57, 0xc2), QColor(0x26, 0xa6, 0x9a),
        QColor(0x5c, 0x6b, 0xc0), QColor(0x78, 0x90, 0x9c), QColor(0xf2, 0xa9, 0x00),
        QColor(0x8d, 0x6e, 0x63)};
    return ::toolPicture(MainWndForm::toolCaption(index), colours[index], 48);
}

QPixmap logoPicture(int width, int height) {
    QPixmap pix(width, height);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(0x1e, 0x5a, 0xa8));
    g.setColorAt(1, QColor(0x26, 0xa6, 0x9a));
    QPainterPath path;
    path.addRoundedRect(QRectF(1, 1, width - 2, height - 2), 8, 8);
    p.fillPath(path, g);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(height / 3);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, width, height), Qt::AlignCenter, QStringLiteral("Velmora"));
    return pix;
}

// What clearing the document leaves: no content at all. A script loaded from a file of this
// program always has a board.
bool isClearedDocument(const ScriptDocument& doc) {
    return doc.name.isEmpty() && doc.home.isEmpty() && doc.information.isEmpty() &&
           doc.author.isEmpty() && doc.icon.isEmpty() && doc.toolPop.isEmpty() &&
           doc.script.isEmpty() && doc.list.isNull() && doc.target.isEmpty();
}

// The folders the workbench writes its files into, where a save cut short leaves its
// temporary file: the program folder, the library and its categories, and the box folder.
void removeStaleSaves() {
    const QString script = platform::programFile(QStringLiteral("script"));
    QStringList folders = {platform::programFolder(), script,
                           platform::programFile(QStringLiteral("box"))};
    for (const QString& category : FolderList::subFolders(script))
        folders << script + QLatin1Char('/') + category;
    for (const QString& folder : folders) ScriptModule::removeStaleTemporaryFiles(folder);
}

// A category name typed by the user must name one folder directly inside "script".
bool isPlainFolderName(const QString& name) {
    if (name.trimmed().isEmpty()) return false;
    if (name == QLatin1String(".") || name == QLatin1String("..")) return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

// Each list entry keeps the name of the file it stands for: the entry shows the name with
// every ".txt" taken out, so "a.txt" and "a.txt.txt" both show as "a".
constexpr int kFileRole = Qt::UserRole;

// The script list: opens a script only when the user picks an entry, by a click or from the
// keyboard. The view makes its first entry current by itself when it gains the focus (by Tab,
// or when the window is activated again); that chooses nothing.
class ScriptList : public QListWidget {
  public:
    using QListWidget::QListWidget;
    std::function<void(QListWidgetItem*)> picked;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        QListWidgetItem* before = currentItem();
        const bool wasSelected = before && before->isSelected();
        QListWidget::keyPressEvent(event);
        QListWidgetItem* now = currentItem();
        // A move to another entry that selects it, or Space on the entry the focus is on.
        // Selecting every entry (Ctrl+A) picks none of them.
        const bool space = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
        if (now && now->isSelected() && (now != before || (space && !wasSelected)) && picked)
            picked(now);
    }
};

}  // namespace

MainWndForm& MainWndForm::instance() {
    static MainWndForm* form = new MainWndForm();
    return *form;
}

MainWndForm::MainWndForm() : platform::Form(QStringLiteral("MainWndForm")) {}

QString MainWndForm::toolCaption(int index) {
    static const char16_t* const captions[kToolCount] = {u"新 建", u"修 改", u"删 除", u"录 制",
                                                         u"搜 索", u"分 享", u"设 置", u"升 级",
                                                         u"关 于", u"打 包"};
    if (index < 0 || index >= kToolCount) return {};
    return QString::fromUtf16(captions[index]);
}

QString MainWndForm::scriptFolder() {
    return platform::programFolder() + QStringLiteral("/script");
}

void MainWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("VelmoraV3.0"));
    window->resize(platform::px(kMinWidthTwips), platform::px(kMinHeightTwips));
    makeControls(window);
    window->installEventFilter(this);
    startUp();
}

void MainWndForm::makeControls(QWidget* window) {
    auto* logo = new QLabel(window);
    logo->setObjectName(QStringLiteral("logoPicture"));
    platform::placeTwips(logo, 120, kToolTop, 1800, kToolHeight);
    logo->setPixmap(logoPicture(platform::px(1800), platform::px(kToolHeight)));

    toolsCmd_.clear();
    for (int index = 0; index < kToolCount; ++index) {
        auto* button = new ToolButton(toolCaption(index), window);
        button->setObjectName(QStringLiteral("toolsCmd_%1").arg(index));
        button->setProperty("index", index);
        button->setIcon(QIcon(toolPicture(index)));
        button->setFocusPolicy(Qt::TabFocus);
        toolsCmd_ << button;
        QObject::connect(button, &QPushButton::clicked, this,
                         [this, index] { toolClicked(index); });
    }
    for (int position = 0; position < kToolCount; ++position)
        platform::placeTwips(toolsCmd_[kToolOrder[position]], kToolFirstLeft + position * kToolStep,
                             kToolTop, kToolWidth, kToolHeight);

    tabFile_ = new QTabBar(window);
    tabFile_->setObjectName(QStringLiteral("TabFile"));
    tabFile_->setExpanding(false);
    tabFile_->setUsesScrollButtons(true);
    tabFile_->setDrawBase(true);
    platform::placeTwips(tabFile_, 0, kTabTop, kMinWidthTwips, kMinHeightTwips - kTabTop - 500);
    tabFile_->installEventFilter(this);
    QObject::connect(tabFile_, &QTabBar::currentChanged, this, [this](int) {
        if (!fillingTabs_) loadScriptList();
    });
    QObject::connect(tabFile_, &QTabBar::tabBarClicked, this, [this](int index) {
        // A click on the tab already selected changes nothing, yet still reloads its list.
        if (index >= 0 && tabFile_ && index == tabFile_->currentIndex()) loadScriptList();
    });

    auto* list = new ScriptList(window);
    listFile_ = list;
    listFile_->setObjectName(QStringLiteral("ListFile"));
    listFile_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Every entry is one line of text in the same font: measuring each one before the first
    // paint would only cost time on a large category.
    listFile_->setUniformItemSizes(true);
    platform::placeTwips(listFile_, 0, kListTop, kFrameLeft - 300, 5295);
    list->picked = [this](QListWidgetItem* item) { openScript(item); };
    QObject::connect(listFile_, &QListWidget::itemClicked, this,
                     [this](QListWidgetItem* item) { openScript(item); });

    attributeFrame_ = new QGroupBox(QStringLiteral("属性"), window);
    attributeFrame_->setObjectName(QStringLiteral("AttributeFrame"));
    platform::placeTwips(attributeFrame_, kFrameLeft, kListTop, kFrameWidth, 5295);

    scriptPicture_ = new QLabel(attributeFrame_);
    scriptPicture_->setObjectName(QStringLiteral("scriptPicture"));
    scriptPicture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scriptPicture_->setFrameShape(QFrame::StyledPanel);
    platform::placeTwips(scriptPicture_, 780, 300, 1095, 1095);

    auto label = [this](const QString& name, const QString& text, int top) {
        auto* l = new QLabel(text, attributeFrame_);
        l->setObjectName(name);
        platform::placeTwips(l, 120, top, 600, 255);
    };
    label(QStringLiteral("scriptNameLabel"), QStringLiteral("名称:"), 1620);
    scriptNameText_ = new QLineEdit(attributeFrame_);
    scriptNameText_->setObjectName(QStringLiteral("scriptNameText"));
    scriptNameText_->setReadOnly(true);
    platform::placeTwips(scriptNameText_, 720, 1560, 1815, 315);

    label(QStringLiteral("scriptAuthorLabel"), QStringLiteral("作者:"), 2040);
    scriptAuthorText_ = new QLineEdit(attributeFrame_);
    scriptAuthorText_->setObjectName(QStringLiteral("scriptAuthorText"));
    scriptAuthorText_->setReadOnly(true);
    platform::placeTwips(scriptAuthorText_, 720, 1980, 1815, 315);

    label(QStringLiteral("scriptInfoLabel"), QStringLiteral("介绍:"), 2460);
    scriptInfoText_ = new QPlainTextEdit(attributeFrame_);
    scriptInfoText_->setObjectName(QStringLiteral("scriptInfoText"));
    scriptInfoText_->setReadOnly(true);
    scriptInfoText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    platform::placeTwips(scriptInfoText_, 240, 2760, 2175, 1455);

    makeTotalBrowser();

    folderMenu_ = new QMenu(QStringLiteral("文件夹选项"), window);
    folderMenu_->setObjectName(QStringLiteral("folderMenu"));
    auto action = [this](const QString& name, const QString& text, void (MainWndForm::*slot)()) {
        QAction* a = folderMenu_->addAction(text);
        a->setObjectName(name);
        QObject::connect(a, &QAction::triggered, this, slot);
    };
    action(QStringLiteral("newFolderActive"), QStringLiteral("新建目录"), &MainWndForm::newFolder);
    action(QStringLiteral("editFolderActive"), QStringLiteral("修改目录"),
           &MainWndForm::editFolder);
    action(QStringLiteral("delFolderActive"), QStringLiteral("删除目录"), &MainWndForm::delFolder);
}

void MainWndForm::makeTotalBrowser() {
    totalWB_ = new platform::WebBrowser(attributeFrame_);
    totalWB_->setObjectName(QStringLiteral("totalWB"));
    totalWB_->setSilent(true);
    totalWB_->setLeft(120);
    totalWB_->setTop(240);
    totalWB_->setWidth(375);
    totalWB_->setHeight(375);
    totalWB_->hide();
}

// ---------------------------------------------------------------------------------------------
// Start-up

void MainWndForm::startUp() {
    // What saves cut short left behind goes before anything is listed.
    removeStaleSaves();

    const QString config = platform::programFile(QStringLiteral("config.ini"));
    {
        // A file that cannot be read reads as an empty one.
        QByteArray bytes;
        configUnreadable =
            QFileInfo::exists(config) && !ScriptModule::detail::readFileBytes(config, bytes);
    }

    const QString lengthText =
        INIread::readIniValue(config, kConfigSection, QStringLiteral("hideDivNameLen"));
    rndFlagStr = emailname(qint16(MainWndNumbers::hideDivNameLength(lengthText)));

    version = INIread::readIniValue(config, kConfigSection, QStringLiteral("version"));
    checkUpdate = MainWndNumbers::updateFlag(
        INIread::readIniValue(config, kConfigSection, QStringLiteral("flag")));

    {
        // The window must show within one time limit, however the site answers: the version
        // file and the plug-in list are asked for at once and share that limit. What they
        // bring takes effect in the start-up's own order: the version check, the library, the
        // plug-in list.
        const QDeadlineTimer deadline(Site::requestTimeoutMs());
        const QString charset = QStringLiteral("GB2312");
        std::optional<SiteText::TextRequest> versionRequest;
        if (checkUpdate == 0) versionRequest.emplace(Site::versionFileAddress(), charset);
        SiteText::TextRequest pluginRequest(Site::pluginListAddress(), charset);
        if (versionRequest) SiteText::showNewVersion(versionRequest->text(deadline));
        refreshScript();
        SiteText::setPluginList(pluginRequest.text(deadline));
    }

    if (totalWB_) totalWB_->Navigate(Site::forumPageAddress());
}

QString MainWndForm::emailname(qint16 l) {
    const QString d = MD5Module::md5Hex(platform::timeText());
    QString s = d;
    if (!d.isEmpty() && d.at(0).unicode() < 60) {
        const int code = 101 + int(std::floor(platform::rnd() * 7));
        s = QChar(code) + (l > 1 ? d.right(l - 1) : QString());
    }
    if (l <= 0) return {};
    return s.repeated(l / 32 + 1).left(l);
}

void MainWndForm::refreshScript() {
    loadFolderTabs();
    loadScriptList();
}

// ---------------------------------------------------------------------------------------------
// Library

QString MainWndForm::selectedCategory() const {
    if (!tabFile_ || tabFile_->currentIndex() < 0) return {};
    return tabFile_->tabText(tabFile_->currentIndex());
}

void MainWndForm::loadFolderTabs() {
    if (!tabFile_) return;
    fillingTabs_ = true;
    while (tabFile_->count() > 0) tabFile_->removeTab(tabFile_->count() - 1);
    for (const QString& name : FolderList::subFolders(scriptFolder())) tabFile_->addTab(name);
    if (tabFile_->count() > 0) tabFile_->setCurrentIndex(0);
    fillingTabs_ = false;
}

void MainWndForm::loadScriptList() {
    if (!listFile_) return;
    listFile_->clear();
    // Without a category there is nothing to list: the files lying loose in "script" are no
    // scripts of the library.
    const QString category = selectedCategory();
    if (category.isEmpty()) {
        followChosenEntry();
        return;
    }
    const QString open = ScriptModule::scriptDocument().currentScriptPath;
    const QList<FolderList::Entry> entries =
        FolderList::filesWithExtension(categoryFolder(category), QStringLiteral(".txt"));
    // The entries go in together: one by one, every insertion would be announced to the view
    // on its own, which a category of many thousands of scripts makes slow.
    QStringList texts;
    texts.reserve(entries.size());
    for (const FolderList::Entry& e : entries) texts << e.text;
    const int first = listFile_->count();
    listFile_->addItems(texts);
    {
        // The file names ride along unseen: no view shows them, so nobody needs telling.
        const QSignalBlocker unseen(listFile_->model());
        for (int i = 0; i < entries.size(); ++i)
            listFile_->item(first + i)->setData(kFileRole, entries.at(i).fileName);
    }
    if (open.isEmpty()) {
        followChosenEntry();
        return;
    }
    const QString folder = categoryFolder(category) + QLatin1Char('/');
    for (int i = 0; i < entries.size(); ++i) {
        // The script the user has open stays the chosen entry: the list shows it, and 打 包
        // offers it. Nothing is opened by this.
        if (folder + entries.at(i).fileName == open) {
            QListWidgetItem* item = listFile_->item(first + i);
            const QSignalBlocker quiet(listFile_);
            listFile_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
        }
    }
    followChosenEntry();
}

QString MainWndForm::categoryFolder(const QString& category) {
    return scriptFolder() + QLatin1Char('/') + category;
}

QString MainWndForm::scriptFile(const QListWidgetItem* item) const {
    if (!item) return {};
    return categoryFolder(selectedCategory()) + QLatin1Char('/') + item->data(kFileRole).toString();
}

QListWidgetItem* MainWndForm::chosenEntry() const {
    QListWidgetItem* current = listFile_ ? listFile_->currentItem() : nullptr;
    return current && current->isSelected() ? current : nullptr;
}

void MainWndForm::openScript(QListWidgetItem* item) {
    if (!item) return;
    const QString path = scriptFile(item);
    const QString name = item->text();
    ScriptModule::LoadFailure why = ScriptModule::LoadFailure::None;
    if (!ScriptModule::loadScriptFile(path, &why)) {
        // Nothing is opened: an empty script standing for the file would be saved over it.
        ScriptModule::scriptDocument().currentScriptPath.clear();
        clearScriptAttribute();
        const QString text = why == ScriptModule::LoadFailure::Missing
                                 ? QStringLiteral("脚本“%1”的文件已不存在,可能已被移走或删除。")
                             : why == ScriptModule::LoadFailure::Unreadable
                                 ? QStringLiteral("脚本“%1”的文件无法读取,未能打开。")
                                 : QStringLiteral("脚本“%1”的文件不是有效的脚本文件,未能打开。");
        platform::messageBox(text.arg(name), platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::Warning, widget());
        loadScriptList();
        return;
    }
    ScriptModule::scriptDocument().currentScriptPath = path;
    shownPath_ = path;
    showScriptAttribute();
}

void MainWndForm::showScriptAttribute() {
    const ScriptDocument& doc = ScriptModule::scriptDocument();
    if (scriptNameText_) scriptNameText_->setText(doc.name);
    if (scriptAuthorText_) scriptAuthorText_->setText(doc.author);
    if (scriptInfoText_) scriptInfoText_->setPlainText(doc.information);
    // A picture still on its way for an earlier pick is not this script's.
    if (doc.icon.isEmpty()) {
        ScriptModule::supersedePictureLoads(scriptPicture_);
        return;
    }
    ScriptModule::loadPictureFromUrl(scriptPicture_, doc.icon);
    if (scriptPicture_) scriptPicture_->repaint();
}

void MainWndForm::clearScriptAttribute() {
    shownPath_.clear();
    if (scriptNameText_) scriptNameText_->clear();
    if (scriptAuthorText_) scriptAuthorText_->clear();
    if (scriptInfoText_) scriptInfoText_->clear();
    if (scriptPicture_) {
        ScriptModule::supersedePictureLoads(scriptPicture_);
        scriptPicture_->setPixmap(QPixmap());
    }
}

void MainWndForm::followChosenEntry() {
    // While this window is hidden the script window works on the document: it is followed
    // when the window shows again.
    QWidget* window = widget();
    if (!window || !window->isVisible()) return;
    QListWidgetItem* chosen = chosenEntry();
    if (!chosen) {
        clearScriptAttribute();
        return;
    }
    // Closing the script window clears the document: the chosen script is opened again, so
    // that what shows is what 修 改 edits.
    if (scriptFile(chosen) == shownPath_ && !isClearedDocument(ScriptModule::scriptDocument()))
        return;
    openScript(chosen);
}

// ---------------------------------------------------------------------------------------------
// Tool buttons

void MainWndForm::toolClicked(int index) {
    ScriptDocument& doc = ScriptModule::scriptDocument();
    switch (index) {
        case 0:  // 新 建
            if (windows.showScriptWindow) windows.showScriptWindow();
            ScriptModule::clearScriptDocument();
            doc.currentScriptPath.clear();
            if (windows.setScriptBoard) windows.setScriptBoard(1);
            if (windows.showScriptWindow) hide();
            break;
        case 1:  // 修 改
            if (windows.showScriptWindow) windows.showScriptWindow();
            if (windows.setScriptBoard) windows.setScriptBoard(2);
            if (windows.showScriptWindow) hide();
            break;
        case 2:  // 删 除
            deleteScripts();
            break;
        case 3:  // 录 制
            if (windows.showRecordWindow) windows.showRecordWindow();
            break;
        case 4:  // 搜 索
            if (windows.showSearchWindow) windows.showSearchWindow();
            break;
        case 5:  // 分 享
            if (doc.currentScriptPath.isEmpty()) {
                platform::messageBox(QStringLiteral("请选择分享的文件"), platform::MsgButtons::Ok,
                                     QStringLiteral("提示"), platform::MsgIcon::None, widget());
                return;
            }
            if (windows.showShareWindow) windows.showShareWindow();
            break;
        case 6:  // 设 置
            if (windows.setConfigData) windows.setConfigData(checkUpdate);
            if (windows.showConfigWindow) windows.showConfigWindow();
            break;
        case 7: {  // 升 级
            // The wait lets window events run: a second press meanwhile is answered by the
            // first check.
            if (checkingVersion_) return;
            checkingVersion_ = true;
            QString why;
            const bool shown = SiteText::checkNewVersion(&why);
            checkingVersion_ = false;
            if (!shown)
                platform::messageBox(
                    QStringLiteral("无法获取最新版本信息,请检查网络连接后再试\n") + why,
                    platform::MsgButtons::Ok, QStringLiteral("提示"), platform::MsgIcon::None,
                    widget());
            break;
        }
        case 8:  // 关 于
            if (windows.showAboutWindow) windows.showAboutWindow();
            break;
        case 9: {  // 打 包
            // The entry the user chose; one the list made current by itself is none.
            const QListWidgetItem* chosen = chosenEntry();
            if (windows.setBoxData)
                windows.setBoxData(QString(), selectedCategory(),
                                   chosen ? chosen->text() : QString(),
                                   chosen ? chosen->data(kFileRole).toString() : QString());
            if (windows.showMakeBox) windows.showMakeBox();
            break;
        }
        default:
            return;
    }
    loadScriptList();
}

void MainWndForm::deleteScripts() {
    // Nothing picked, nothing to delete: no question that would come to nothing.
    if (!listFile_ || listFile_->selectedItems().isEmpty()) {
        platform::messageBox(QStringLiteral("请选择要删除的脚本"), platform::MsgButtons::Ok,
                             QStringLiteral("提示"), platform::MsgIcon::None, widget());
        return;
    }
    if (platform::messageBox(QStringLiteral("删除后无法恢复,确定要继续么?"),
                             platform::MsgButtons::YesNo, QStringLiteral("提示"),
                             platform::MsgIcon::Question, widget()) != platform::MsgAnswer::Yes)
        return;
    if (!listFile_) return;
    const QString category = selectedCategory();
    if (category.isEmpty()) return;
    QStringList refused;
    for (int row = 0; row < listFile_->count(); ++row) {
        const QListWidgetItem* item = listFile_->item(row);
        if (!item->isSelected()) continue;
        const QString path = scriptFile(item);
        // A file that is gone already is what the user asked for.
        if (!QFile::remove(path) && QFileInfo::exists(path)) refused << item->text();
    }
    if (!refused.isEmpty())
        platform::messageBox(
            QStringLiteral("下列脚本未能删除:\r\n") + refused.join(QStringLiteral("\r\n")),
            platform::MsgButtons::Ok, QStringLiteral("提示"), platform::MsgIcon::Warning, widget());
}

// ---------------------------------------------------------------------------------------------
// Folder menu

namespace {

void tellInvalidName(QWidget* parent) {
    platform::messageBox(QStringLiteral("目录名称无效:不能含有 \\ 或 /,也不能是 . 或 .."),
                         platform::MsgButtons::Ok, QStringLiteral("提示"),
                         platform::MsgIcon::Warning, parent);
}

void tellRefused(const QString& text, QWidget* parent) {
    platform::messageBox(text, platform::MsgButtons::Ok, QStringLiteral("提示"),
                         platform::MsgIcon::Warning, parent);
}

}  // namespace

void MainWndForm::newFolder() {
    const QString answer = platform::inputBox(QStringLiteral("请在下面输入新建的目录名称"),
                                              QStringLiteral("新建目录"), QString(), widget());
    if (answer.isEmpty()) return;
    if (!isPlainFolderName(answer)) {
        tellInvalidName(widget());
        return;
    }
    QDir root(scriptFolder());
    if (!root.exists()) QDir().mkpath(scriptFolder());
    if (root.exists(answer) || !root.mkdir(answer))
        tellRefused(QStringLiteral("新建目录失败:可能已有同名的目录或文件,或名称不可用"), widget());
    loadFolderTabs();
    loadScriptList();
}

void MainWndForm::editFolder() {
    const QString caption = selectedCategory();
    if (caption.isEmpty()) return;
    const QString answer =
        platform::inputBox(QStringLiteral("要将目录名称<") + caption + QStringLiteral(">变更为"),
                           QStringLiteral("修改目录"), QString(), widget());
    if (answer.isEmpty()) return;
    if (!isPlainFolderName(answer)) {
        tellInvalidName(widget());
        return;
    }
    QDir root(scriptFolder());
    if (answer != caption && (root.exists(answer) || !root.rename(caption, answer)))
        tellRefused(QStringLiteral("修改目录失败:可能已有同名的目录或文件,或名称不可用"), widget());
    loadFolderTabs();
    loadScriptList();
}

void MainWndForm::delFolder() {
    const QString caption = selectedCategory();
    if (caption.isEmpty()) return;
    if (platform::messageBox(QStringLiteral("您确认要删除目录") + caption + QStringLiteral("？"),
                             platform::MsgButtons::YesNo, QStringLiteral("删除目录"),
                             platform::MsgIcon::Question, widget()) != platform::MsgAnswer::Yes)
        return;
    if (!QDir(scriptFolder()).rmdir(caption))
        tellRefused(QStringLiteral("删除目录失败:只能删除空的目录"), widget());
    loadFolderTabs();
    loadScriptList();
}

bool MainWndForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget() && event->type() == QEvent::Show && !event->spontaneous()) {
        // Shown again after the script window closed: after that window's closing is over,
        // the properties follow what is picked.
        QTimer::singleShot(0, this, [this] { followChosenEntry(); });
    }
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (tabFile_ && watched == tabFile_ && mouse->button() == Qt::RightButton && folderMenu_) {
            // Renaming and removing need a selected category.
            const bool haveCategory = !selectedCategory().isEmpty();
            for (QAction* a : folderMenu_->actions())
                if (a->objectName() != QLatin1String("newFolderActive"))
                    a->setEnabled(haveCategory);
            folderMenu_->popup(tabFile_->mapToGlobal(mouse->position().toPoint()));
            return true;
        }
    }
    return platform::Form::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Layout and end

void MainWndForm::onResize() {
    layoutControls();
}

void MainWndForm::layoutControls() {
    QWidget* window = widget();
    if (!window || window->isMinimized()) return;
    // The window's size is its outer size, frame included; below the minimum it is set back.
    const QSize outer = outerSizeTwips(kMinWidthTwips, kMinHeightTwips);
    const int width = outer.width();
    const int height = outer.height();
    if (!tabFile_ || !listFile_ || !attributeFrame_) return;
    const int tabWidth = width;
    const int tabHeight = height - kTabTop - 500;
    platform::placeTwips(tabFile_, 0, kTabTop, tabWidth, tabHeight);
    platform::placeTwips(attributeFrame_, tabWidth - kFrameWidth - 250, kListTop, kFrameWidth,
                         tabHeight - 500);
    platform::placeTwips(listFile_, 0, kListTop, tabWidth - kFrameWidth - 300, tabHeight - 500);
    listFile_->raise();
    attributeFrame_->raise();
}

void MainWndForm::onUnload() {
    // Closing the main window ends the workbench, whatever else is open.
    if (quitOnClose_) QCoreApplication::quit();
}
