#include "player/tolvarboxform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include "library/base64.h"
#include "library/boxfile.h"
#include "library/folderlist.h"
#include "library/ini.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/pageinjection.h"
#include "platform/core/programfolder.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "workbench/site.h"
#include "workbench/toolpicture.h"

namespace {

using namespace platform::geometry;

const QString kCaption = QStringLiteral("ZandrelV2.0");
const QString kWelcome = QStringLiteral("欢迎使用ZandrelV2.0");
const QString kUnsafe = QStringLiteral("介绍页面发现不安全因素请到主站重新下载.");
const QString kConfigFile = QStringLiteral("config.ini");
const QString kTemplateFile = QStringLiteral("skin.html");
const QString kBoxMark = QStringLiteral(".tvb");

constexpr int kToolCount = 6;
constexpr int kUrlTop = 960;

QString toolTip(int index) {
    static const char* const tips[kToolCount] = {"首 页", "后 退", "刷 新",
                                                 "前 进", "停 止", "搜 索"};
    return QString::fromUtf8(tips[index]);
}

QColor toolColour(int index) {
    static const QColor colours[kToolCount] = {QColor(0x2f, 0x80, 0xed), QColor(0x27, 0xae, 0x60),
                                               QColor(0xf2, 0x99, 0x4a), QColor(0x27, 0xae, 0x60),
                                               QColor(0xeb, 0x57, 0x57), QColor(0x9b, 0x51, 0xe0)};
    return colours[index];
}

livePage::BrowserHostSettings playerSettings() {
    livePage::BrowserHostSettings s;
    s.navigateOnLoad = true;
    s.silentOnLoad = true;
    s.silentAfterChain = true;
    s.silentOnComplete = true;
    s.silentOnNavigateComplete = true;
    return s;
}

// A rounded "Z" in the player's colour: window and tray icon.
QIcon playerIcon() {
    return QIcon(toolPicture(QStringLiteral("Z"), QColor(0x2f, 0x80, 0xed), 32));
}

}  // namespace

namespace playerIntro {

namespace {

// A box comes from anywhere: what it says goes into the page as text, never as markup, so
// that no element or event attribute of its own slips past the safety test, and a bare "&"
// or "<" in a description does not spoil the whole page.
QString asText(const QString& value) {
    QString text = value;
    text.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    text.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    text.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    text.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    text.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    return text;
}

}  // namespace

QString fillTemplate(const QString& templateText, const QString& icon, const QString& name,
                     const QString& author, const QString& home, const QString& information,
                     const QString& folder) {
    QString text = templateText;
    text.replace(QStringLiteral("${scriptIcon}"), asText(icon));
    text.replace(QStringLiteral("${scriptName}"), asText(name));
    text.replace(QStringLiteral("${scriptAuthor}"), asText(author));
    text.replace(QStringLiteral("${scriptPage}"), asText(home));
    text.replace(QStringLiteral("${scriptInfo}"), asText(information));
    text.replace(QStringLiteral("${localPath}"), asText(QStringLiteral("file://") + folder));
    return text;
}

namespace {

bool namesFrameOrScript(const QString& text) {
    return text.contains(QStringLiteral("frame")) || text.contains(QStringLiteral("script"));
}

// Whether some occurrence of token in the template sits between a "<" and its ">".
bool insideATag(const QString& templateText, const QString& token) {
    for (int at = templateText.indexOf(token); at >= 0;
         at = templateText.indexOf(token, at + token.size())) {
        if (at == 0) continue;
        if (templateText.lastIndexOf(QLatin1Char('<'), at - 1) >
            templateText.lastIndexOf(QLatin1Char('>'), at - 1))
            return true;
    }
    return false;
}

}  // namespace

bool isSafe(const QString& templateText, const QString& icon, const QString& name,
            const QString& author, const QString& home, const QString& information) {
    const std::pair<QString, QString> values[] = {
        {QStringLiteral("${scriptIcon}"), icon},        {QStringLiteral("${scriptName}"), name},
        {QStringLiteral("${scriptAuthor}"), author},    {QStringLiteral("${scriptPage}"), home},
        {QStringLiteral("${scriptInfo}"), information},
    };
    // The tokens themselves spell "script"; a space in their place keeps the text around a
    // token from joining into a word it does not hold.
    QString bare = templateText;
    for (const auto& [token, value] : values) bare.replace(token, QStringLiteral(" "));
    bare.replace(QStringLiteral("${localPath}"), QStringLiteral(" "));
    if (namesFrameOrScript(bare)) return false;
    for (const auto& [token, value] : values)
        if (namesFrameOrScript(value) && insideATag(templateText, token)) return false;
    return true;
}

IntroParts introParts(const QString& filledText) {
    IntroParts parts;
    XmlDocument doc;
    if (!doc.loadXML(QStringLiteral("<root>") + filledText + QStringLiteral("</root>")))
        return parts;
    const XmlNodeList styles = doc.getElementsByTagName(QStringLiteral("style"));
    if (styles.length() > 0) parts.css = styles.item(0).nodeTypedValue();
    const XmlNodeList bodies = doc.getElementsByTagName(QStringLiteral("body"));
    if (bodies.length() > 0) {
        const XmlNodeList children = bodies.item(0).childNodes();
        for (int i = 0; i < children.length(); ++i)
            parts.bodyHtml += skinModule::detail::htmlMarkup(children.item(i));
    }
    return parts;
}

bool matchesTarget(const QString& url, const QStringList& targets) {
    bool matched = false;
    for (const QString& target : targets)
        if (url.contains(target)) matched = true;
    return matched;
}

}  // namespace playerIntro

TolvarBoxForm& TolvarBoxForm::instance() {
    static TolvarBoxForm* form = new TolvarBoxForm();
    return *form;
}

TolvarBoxForm::TolvarBoxForm()
    : platform::Form(QStringLiteral("TolvarBoxForm")),
      host_(&curBrowserIndex, &newWindowMode, playerSettings()) {
    trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    host_.layoutControls = [this] { layoutControls(); };
    host_.topDocumentAction = [this](platform::WebBrowser* inUse) { matchTargets(inUse); };
    tray_.setIcon(playerIcon());
    connect(&tray_, &platform::TrayIcon::restoreRequested, this, &TolvarBoxForm::restoreFromTray);
}

QStringList TolvarBoxForm::componentFiles() {
    return {QStringLiteral("COMCAT.DLL"),   QStringLiteral("COMDLG32.OCX"),
            QStringLiteral("MSCOMCTL.OCX"), QStringLiteral("msvbvm50.dll"),
            QStringLiteral("msvbvm60.dll"), QStringLiteral("msxml2.dll"),
            QStringLiteral("msxml4.dll"),   QStringLiteral("oleaut32.dll"),
            QStringLiteral("olepro32.dll"), QStringLiteral("RICHTX32.OCX"),
            QStringLiteral("shdocvw.dll"),  QStringLiteral("urlmon.dll"),
            QStringLiteral("SysTray.ocx")};
}

void TolvarBoxForm::onLoad(QWidget* window) {
    window->setWindowTitle(kCaption);
    window->setWindowIcon(playerIcon());
    window->resize(platform::px(11445), platform::px(7635));
    // Centred on the screen it opens on.
    if (QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    makeControls(window);

    tray_.setToolTip(kWelcome);
    // What a config.ini save cut short left behind goes at the start.
    ScriptModule::removeStaleTemporaryFiles(platform::programFolder());
    registerComponents();
    if (startUpPass()) return;
    // The element in use went with the window's last closing: start over on element 0.
    curBrowserIndex = 0;
    startUpPass();
}

void TolvarBoxForm::makeControls(QWidget* window) {
    auto* frame = new QFrame(window);
    frame->setObjectName(QStringLiteral("toolsFrame"));
    frame->setFrameShape(QFrame::NoFrame);
    platform::placeTwips(frame, 120, 0, 11175, 855);
    for (int index = 0; index < kToolCount; ++index) {
        auto* button = new QToolButton(frame);
        button->setObjectName(QStringLiteral("toolBtn_%1").arg(index));
        button->setProperty("index", index);
        button->setToolTip(toolTip(index));
        button->setAutoRaise(true);
        button->setIcon(QIcon(toolPicture(toolTip(index), toolColour(index), 32)));
        button->setIconSize(QSize(28, 28));
        platform::placeTwips(button, 120 + 720 * index, 150, 615, 615);
        connect(button, &QToolButton::clicked, this, [this, index] { toolClicked(index); });
    }
    auto* listLabel = new QLabel(QStringLiteral("脚本列表"), frame);
    listLabel->setObjectName(QStringLiteral("scriptListLabel"));
    platform::placeTwips(listLabel, 8040, 360, 855, 255);
    auto* list = new QComboBox(frame);
    list->setObjectName(QStringLiteral("scriptListCombo"));
    list->setEditable(false);
    platform::placeTwips(list, 9000, 320, 1935, 300);
    connect(list, &QComboBox::activated, this,
            [this, list](int index) { chooseBox(list->itemText(index)); });

    auto* total = new platform::WebBrowser(frame);
    total->setObjectName(QStringLiteral("totalWB"));
    total->setSilent(true);
    total->setLeft(5160);
    total->setTop(120);
    total->setWidth(615);
    total->setHeight(615);
    total->hide();

    auto* urlLabel = new QLabel(QStringLiteral("网 址:"), window);
    urlLabel->setObjectName(QStringLiteral("urlLabel"));
    platform::placeTwips(urlLabel, 120, kUrlTop, 735, 255);
    auto* urlText = new QLineEdit(window);
    urlText->setObjectName(QStringLiteral("urlText"));
    platform::placeTwips(urlText, 960, kUrlTop, 8175, 270);
    auto* combo = new QComboBox(window);
    combo->setObjectName(QStringLiteral("newWndCombo"));
    platform::placeTwips(combo, 9240, kUrlTop, 1215, 300);
    auto* jump = new QPushButton(QStringLiteral("跳 转"), window);
    jump->setObjectName(QStringLiteral("urlCommand"));
    platform::placeTwips(jump, 10560, kUrlTop, 735, 255);

    auto* array = new platform::BrowserArray(QStringLiteral("boxWB"), window);
    if (platform::WebBrowser* first = array->loadElement(0, window)) {
        first->setLeft(120);
        first->setTop(1320);
        first->setWidth(11175);
        first->setHeight(6255);
        first->show();
    }
    host_.attach(window, array, combo, urlText, jump);
}

bool TolvarBoxForm::startUpPass() {
    if (auto* total = control<platform::WebBrowser>(QStringLiteral("totalWB")))
        total->Navigate(Site::statisticsPageAddress());
    if (!host_.runLoadStep()) return false;
    loadBoxList();
    loadDefaultScript();
    if (auto* list = control<QComboBox>(QStringLiteral("scriptListCombo"))) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->itemText(i) != currentBoxFile) continue;
            list->setCurrentIndex(i);
            chooseBox(list->itemText(i));
        }
    }
    if (!host_.elementInUse()) return false;
    showIntroPage();
    return true;
}

void TolvarBoxForm::registerComponents() {
    // The command texts are those of a registration step; a platform without one (where
    // registerComponent stays unset) registers nothing, and the outcome is never looked at.
    const QString folder = platform::programFolder();
    for (const QString& file : componentFiles()) {
        const QString command = QStringLiteral("regsvr32 /s ") + folder + QLatin1Char('\\') + file;
        if (registerComponent) registerComponent(command);
    }
}

void TolvarBoxForm::loadBoxList() {
    auto* list = control<QComboBox>(QStringLiteral("scriptListCombo"));
    if (!list) return;
    list->clear();
    for (const FolderList::Entry& box :
         FolderList::filesMarked(platform::programFolder(), kBoxMark, false))
        list->addItem(box.text);
    list->setCurrentIndex(-1);
}

void TolvarBoxForm::loadDefaultScript() {
    currentBoxFile = BASE64BoxModule::boxBase64Decode(
        INIread::readIniValue(platform::programFile(kConfigFile), QStringLiteral("save"),
                              QStringLiteral("DefaultScript")));
}

void TolvarBoxForm::chooseBox(const QString& fileName) {
    currentBoxFile = fileName;
    INIwrite::writeIniValue(platform::programFile(kConfigFile), QStringLiteral("save"),
                            QStringLiteral("DefaultScript"),
                            BASE64BoxModule::boxBase64Encode(currentBoxFile));
    openBox();
    if (QWidget* window = widget())
        window->setWindowTitle(kCaption + QLatin1Char('(') + ScriptModule::scriptDocument().name +
                               QLatin1Char(')'));
}

void TolvarBoxForm::openBox() {
    // A box that cannot be opened leaves nothing of the one before it: no target matches,
    // nothing is injected, and the caption shows the empty name.
    BoxScript::openBox(currentBoxFile, boxSkinText, boxScriptText);
}

void TolvarBoxForm::showIntroPage() {
    platform::WebBrowser* inUse = host_.elementInUse();
    if (!inUse) return;
    // The blank page normally completes within a few event turns; a browser that never gets
    // there must not hold the program's start for ever. The page's own loading events end
    // each pause at once, the step only bounds it; the events of the blank page that the
    // completion posted are handled before the state is looked at again.
    QElapsedTimer waited;
    waited.start();
    while (inUse && inUse->ReadyState() != 4 && waited.elapsed() < kIntroWaitLimitMs) {
        QEventLoop pause;
        QTimer::singleShot(kIntroWaitStepMs, &pause, &QEventLoop::quit);
        connect(inUse->page(), &QWebEnginePage::loadingChanged, &pause, &QEventLoop::quit);
        pause.exec();
        QCoreApplication::processEvents();
        inUse = host_.elementInUse();
    }
    if (!inUse) return;

    const ScriptDocument& doc = ScriptModule::scriptDocument();
    // The page work goes to the page in one go.
    platform::PageBatch page(inUse->DocumentOnFirstCall());
    const int body = page.body();
    if (doc.name.isEmpty()) {
        page.setProperty(body, QStringLiteral("innerHTML"), kWelcome);
        page.run();
        return;
    }
    const QString templateText = ScriptModule::readTextFile(platform::programFile(kTemplateFile));
    const bool safe = playerIntro::isSafe(templateText, doc.icon, doc.name, doc.author, doc.home,
                                          doc.information);
    const QString text =
        playerIntro::fillTemplate(templateText, doc.icon, doc.name, doc.author, doc.home,
                                  doc.information, platform::programFolder());
    if (auto* urlText = control<QLineEdit>(QStringLiteral("urlText"))) urlText->setText(doc.home);

    if (!safe) {
        page.setProperty(body, QStringLiteral("innerHTML"), kUnsafe);
        page.run();
        return;
    }
    const playerIntro::IntroParts parts = playerIntro::introParts(text);
    const int style = page.createElement(QStringLiteral("style"));
    page.setProperty(style, QStringLiteral("type"), QStringLiteral("text/css"));
    page.setProperty(style, QStringLiteral("styleSheet.cssText"), parts.css);
    const int head = page.getElementsByTagName(QStringLiteral("head"), 0);
    page.appendChild(head, style);
    page.setProperty(body, QStringLiteral("innerHTML"), parts.bodyHtml);
    page.run();
}

void TolvarBoxForm::matchTargets(platform::WebBrowser* inUse) {
    if (!inUse) return;
    const ScriptDocument& doc = ScriptModule::scriptDocument();
    if (!playerIntro::matchesTarget(inUse->LocationURL(), doc.target)) return;
    skinModule::applySkinAndRunScript(inUse->DocumentOnFirstCall(), boxSkinText, doc.list,
                                      doc.script);
}

void TolvarBoxForm::toolClicked(int index) {
    if (index == 5) {
        if (showSearchWindow) showSearchWindow();
        return;
    }
    platform::WebBrowser* inUse = host_.elementInUse();
    if (!inUse) return;
    switch (index) {
        case 0:
            inUse->Navigate2(Site::mainHost());
            break;
        case 1:
            inUse->GoBack();
            break;
        case 2:
            inUse->Refresh();
            break;
        case 3:
            inUse->GoForward();
            break;
        case 4:
            inUse->Stop();
            break;
        default:
            break;
    }
}

void TolvarBoxForm::onResize() {
    QWidget* window = widget();
    if (window && window->isMinimized() && (!trayAvailable || trayAvailable())) {
        tray_.setInTray(true);
        // Hiding from inside the state change would be undone by the window system finishing
        // the minimise; it is done once that event is over.
        QTimer::singleShot(0, window, [window] {
            if (window->isMinimized()) window->hide();
        });
    }
    layoutControls();
}

void TolvarBoxForm::restoreFromTray() {
    tray_.setInTray(false);
    QWidget* window = widget();
    if (!window) return;
    window->setWindowState(window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    window->show();
    window->raise();
    window->activateWindow();
}

void TolvarBoxForm::onUnload() {
    host_.detach();
}

void TolvarBoxForm::layoutControls() {
    QWidget* window = widget();
    if (!window) return;
    const int outerWidth = platform::twips(window->frameGeometry().width());
    const int outerHeight = platform::twips(window->frameGeometry().height());
    auto* frame = control<QFrame>(QStringLiteral("toolsFrame"));
    auto* jump = control<QPushButton>(QStringLiteral("urlCommand"));
    auto* combo = control<QComboBox>(QStringLiteral("newWndCombo"));
    auto* urlText = control<QLineEdit>(QStringLiteral("urlText"));
    auto* list = control<QComboBox>(QStringLiteral("scriptListCombo"));
    auto* listLabel = control<QLabel>(QStringLiteral("scriptListLabel"));
    platform::WebBrowser* inUse = host_.elementInUse();

    setWidth(frame, outerWidth - 300);
    if (jump) setLeft(jump, outerWidth - widthOf(jump) - 200);
    if (combo && jump) setLeft(combo, leftOf(jump) - widthOf(combo) - 100);
    if (urlText && combo) setWidth(urlText, leftOf(combo) - leftOf(urlText) - 100);
    if (inUse && frame) inUse->setWidth(widthOf(frame));
    if (inUse) {
        const int height = outerHeight - inUse->Top() - 600;
        if (height >= 0) inUse->setHeight(height);
    }
    if (list && frame) setLeft(list, leftOf(frame) + widthOf(frame) - widthOf(list) - 400);
    if (listLabel && list) setLeft(listLabel, leftOf(list) - 1000);
}
