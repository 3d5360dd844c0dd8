#include "player/tolvarboxform.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
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
#include <QUrl>
#include <memory>
#include <utility>

#include "library/base64.h"
#include "library/boxfile.h"
#include "library/folderlist.h"
#include "library/ini.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/pageinjection.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/pagedocument.h"
#include "platform/shell.h"
#include "platform/webbrowser.h"
#include "workbench/site.h"
#include "workbench/toolpicture.h"

namespace {

using namespace platform::geometry;

const QString kCaption = QStringLiteral("ZandrelV2.0");
const QString kWelcome = QStringLiteral("欢迎使用ZandrelV2.0");
const QString kUnsafe = QStringLiteral("介绍页面发现不安全因素请到主站重新下载.");
const QString kNotABox = QStringLiteral("文件“%1”不是可以打开的盒子, 没有打开它.");
const QString kConfigFile = QStringLiteral("config.ini");
const QString kTemplateFile = QStringLiteral("skin.html");
const QString kBoxMark = QStringLiteral(".tvb");

constexpr int kToolCount = 6;
constexpr int kUrlTop = 960;
// Widest the box list's drop-down grows, in twips: some thirty characters.
constexpr int kListPopUpMaxWidth = 5400;

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

const QString kTokens[] = {QStringLiteral("${scriptIcon}"),   QStringLiteral("${scriptName}"),
                           QStringLiteral("${scriptAuthor}"), QStringLiteral("${scriptPage}"),
                           QStringLiteral("${scriptInfo}"),   QStringLiteral("${localPath}")};

// What the tokens stand for, in their order.
QStringList tokenValues(const IntroValues& v, const QString& localPath) {
    return {v.icon, v.name, v.author, v.home, v.information, localPath};
}

// Each token in turn, every occurrence, its value passed through escape: a value holding a
// later token has that token replaced too, unless its escaping took the token apart.
QString replaced(QString text, const QStringList& values,
                 QString (*escape)(const QString&) = nullptr) {
    for (int i = 0; i < values.size(); ++i)
        if (text.contains(kTokens[i]))
            text.replace(kTokens[i], escape ? escape(values[i]) : values[i]);
    return text;
}

bool holdsToken(const QString& text) {
    for (const QString& token : kTokens)
        if (text.contains(token)) return true;
    return false;
}

QString nothing(const QString&) {
    return QString();
}

QString cssEscape(QChar c) {
    return u'\\' + QString::number(c.unicode(), 16) + u' ';
}

// A value inside a CSS string: nothing in it can end the string, the declaration or the
// style element.
QString cssString(const QString& value) {
    QString out;
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || c == u'\\' || c == u'\'' ||
            c == u'"' || c == u'<' || c == u'>' || c == u'&')
            out += cssEscape(c);
        else
            out += c;
    }
    return out;
}

// A value in CSS outside a string: one word that cannot start another declaration or rule.
QString cssWord(const QString& value) {
    QString out;
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u >= 0xA0 || (u < 0x80 && (c.isLetterOrNumber() || c == u'-' || c == u'_')))
            out += c;
        else
            out += cssEscape(c);
    }
    return out;
}

// An address the page may load or follow: the filled text when it is a web address, in its
// encoded form; otherwise nothing.
QString webAddressOrNothing(const QString& filled) {
    if (!platform::isWebAddress(filled)) return QString();
    return QString::fromLatin1(QUrl(filled).toEncoded());
}

bool endsWithUrlOpening(const QString& out) {
    qsizetype end = out.size();
    while (end > 0 && out.at(end - 1).isSpace()) --end;
    return end >= 4 && QStringView(out).mid(end - 4, 4).compare(u"url(", Qt::CaseInsensitive) == 0;
}

// CSS of the template (a style element's text or a style attribute) with the values put in:
// in an address (url(...)) only a web address, as a string; in a string as string content;
// elsewhere as one escaped word; in a comment not at all.
QString filledCss(const QString& css, const QStringList& values) {
    QString out;
    const qsizetype n = css.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = css.at(i);
        if (c == u'/' && i + 1 < n && css.at(i + 1) == u'*') {
            qsizetype end = css.indexOf(QStringLiteral("*/"), i + 2);
            end = end < 0 ? n : end + 2;
            out += replaced(css.mid(i, end - i), values, nothing);
            i = end;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            qsizetype j = i + 1;
            while (j < n && css.at(j) != c && css.at(j) != u'\n') j += css.at(j) == u'\\' ? 2 : 1;
            j = qMin(j, n);
            const QString content = css.mid(i + 1, j - i - 1);
            const bool closed = j < n && css.at(j) == c;
            if (!holdsToken(content))
                out += css.mid(i, j - i) + (closed ? QString(c) : QString());
            else if (endsWithUrlOpening(out))
                out += c + cssString(webAddressOrNothing(replaced(content, values))) + c;
            else
                out += c + replaced(content, values, cssString) + c;
            i = closed ? j + 1 : j;
            continue;
        }
        if (QStringView(css).mid(i, 4).compare(u"url(", Qt::CaseInsensitive) == 0) {
            out += css.mid(i, 4);
            i += 4;
            while (i < n && css.at(i).isSpace()) out += css.at(i++);
            if (i < n && (css.at(i) == u'\'' || css.at(i) == u'"')) continue;  // a string
            qsizetype end = css.indexOf(u')', i);
            if (end < 0) end = n;
            const QString address = css.mid(i, end - i);
            if (holdsToken(address))
                out += u'\'' + cssString(webAddressOrNothing(replaced(address.trimmed(), values))) +
                       u'\'';
            else
                out += address;
            i = end;
            continue;
        }
        bool token = false;
        for (int t = 0; t < values.size() && !token; ++t) {
            if (QStringView(css).mid(i).startsWith(kTokens[t])) {
                out += cssWord(values[t]);
                i += kTokens[t].size();
                token = true;
            }
        }
        if (!token) out += css.at(i++);
    }
    return out;
}

// Attributes whose value the page loads or follows as an address.
bool isAddressAttribute(const QString& name) {
    static const QStringList names = {
        QStringLiteral("href"),       QStringLiteral("src"),        QStringLiteral("action"),
        QStringLiteral("formaction"), QStringLiteral("background"), QStringLiteral("poster"),
        QStringLiteral("cite"),       QStringLiteral("data"),       QStringLiteral("codebase"),
        QStringLiteral("longdesc"),   QStringLiteral("usemap"),     QStringLiteral("manifest"),
        QStringLiteral("ping"),       QStringLiteral("srcset"),     QStringLiteral("lowsrc"),
        QStringLiteral("dynsrc"),     QStringLiteral("icon")};
    const QString local = name.section(QLatin1Char(':'), -1).toLower();
    return names.contains(local);
}

// A box comes from anywhere: each value goes in as what the place it lands in can only take
// as data. Text and attribute values are escaped on the way out; an address that is not a web
// address leaves its attribute out (a home page "JavaScript:..." is no link); event handlers
// and comments take no value at all.
skinModule::detail::MarkupValues fillingValues(const QStringList& values) {
    skinModule::detail::MarkupValues fill;
    fill.attribute = [values](const XmlNode&, const QString& name, const QString& value) {
        if (!holdsToken(value)) return value;
        if (name.startsWith(QLatin1String("on"), Qt::CaseInsensitive))
            return replaced(value, values, nothing);
        if (name.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0)
            return filledCss(value, values);
        if (isAddressAttribute(name)) return webAddressOrNothing(replaced(value, values));
        return replaced(value, values);
    };
    fill.text = [values](const XmlNode& node, const QString& value) {
        if (!holdsToken(value)) return value;
        switch (node.nodeType()) {
            case XmlNode::Type::Text:
            case XmlNode::Type::CData:
                return node.parentNode().nodeName().compare(QLatin1String("style"),
                                                            Qt::CaseInsensitive) == 0
                           ? filledCss(value, values)
                           : replaced(value, values);
            default:
                return replaced(value, values, nothing);
        }
    };
    return fill;
}

}  // namespace

bool isSafe(const QString& templateText, const IntroValues& values) {
    // The test covers the box's values as they stand in the page, but not the program's own
    // folder: it may be called anything.
    const QString text = replaced(templateText, tokenValues(values, QStringLiteral(" ")));
    return !text.contains(QStringLiteral("frame")) && !text.contains(QStringLiteral("script"));
}

IntroParts introParts(const QString& templateText, const IntroValues& values,
                      const QString& folder) {
    IntroParts parts;
    // The template is read as it stands and the values go into what it is made of, so no
    // value can add an element, an attribute or a rule of its own.
    XmlDocument doc;
    if (!doc.loadXML(QStringLiteral("<root>") + templateText + QStringLiteral("</root>")))
        return parts;
    const QStringList filled = tokenValues(values, QStringLiteral("file://") + folder);
    const skinModule::detail::MarkupValues fill = fillingValues(filled);
    const XmlNodeList styles = doc.getElementsByTagName(QStringLiteral("style"));
    if (styles.length() > 0) parts.css = filledCss(styles.item(0).nodeTypedValue(), filled);
    const XmlNodeList bodies = doc.getElementsByTagName(QStringLiteral("body"));
    if (bodies.length() > 0) {
        const XmlNodeList children = bodies.item(0).childNodes();
        for (int i = 0; i < children.length(); ++i)
            parts.bodyHtml += skinModule::detail::htmlMarkup(children.item(i), &fill);
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
    // A box's file name may be as long as the file system allows: the drop-down keeps to a
    // width of its own, shortens long names in the middle and shows each whole in its tip.
    list->view()->setTextElideMode(Qt::ElideMiddle);
    if (QWidget* popUp = list->view()->parentWidget())
        popUp->setMaximumWidth(platform::px(kListPopUpMaxWidth));
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
    // Nothing is done with the statistics page: once it is in, the hidden view lets it go, and
    // with it a render process of its own that would sit there as long as the program runs.
    connect(total, &platform::WebBrowser::DocumentComplete, total,
            [total] { total->discardPage(); });
    connect(total, &platform::WebBrowser::NavigateError, total,
            [total](platform::WebBrowser*, const QString&, int code) {
                constexpr int kNoDocument = -3;
                if (code == kNoDocument) total->discardPage();
            });

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
    // The remembered box is the one in use only once it has opened.
    const QString remembered = std::exchange(currentBoxFile, QString());
    if (auto* list = control<QComboBox>(QStringLiteral("scriptListCombo"))) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->itemText(i) != remembered) continue;
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
    QList<FolderList::Entry> boxes =
        FolderList::filesMarked(platform::programFolder(), kBoxMark, false);
    FolderList::sortByName(boxes);
    for (const FolderList::Entry& box : boxes) {
        list->addItem(box.text);
        list->setItemData(list->count() - 1, box.text, Qt::ToolTipRole);
    }
    list->setCurrentIndex(-1);
}

void TolvarBoxForm::loadDefaultScript() {
    currentBoxFile = BASE64BoxModule::boxBase64Decode(
        INIread::readIniValue(platform::programFile(kConfigFile), QStringLiteral("save"),
                              QStringLiteral("DefaultScript")));
}

void TolvarBoxForm::chooseBox(const QString& fileName) {
    // Boxes come from strangers. A file that is no box (not base64, no separator, a script
    // part that is not the script XML) leaves the box in use as it was, or none, is not
    // remembered, and the user is told.
    const ScriptDocument inUse = ScriptModule::scriptDocument();
    QString skinText, scriptText;
    if (!BoxScript::openBox(fileName, skinText, scriptText)) {
        ScriptModule::scriptDocument() = inUse;
        if (auto* list = control<QComboBox>(QStringLiteral("scriptListCombo")))
            list->setCurrentIndex(
                list->findText(currentBoxFile, Qt::MatchExactly | Qt::MatchCaseSensitive));
        platform::messageBox(kNotABox.arg(fileName), platform::MsgButtons::Ok,
                             QStringLiteral("提示"), platform::MsgIcon::None, widget());
        return;
    }
    currentBoxFile = fileName;
    boxSkinText = skinText;
    boxScriptText = scriptText;
    INIwrite::writeIniValue(platform::programFile(kConfigFile), QStringLiteral("save"),
                            QStringLiteral("DefaultScript"),
                            BASE64BoxModule::boxBase64Encode(currentBoxFile));
    if (auto* list = control<QComboBox>(QStringLiteral("scriptListCombo")))
        list->setToolTip(fileName);
    if (QWidget* window = widget())
        window->setWindowTitle(kCaption + QLatin1Char('(') + ScriptModule::scriptDocument().name +
                               QLatin1Char(')'));
}

// The window shows first; the page follows once the blank page is complete. The page's own
// completion ends the wait (a browser that never gets there does not hold it back for ever),
// and the window stays in the user's hands meanwhile: a page the user has gone on to is not
// overwritten.
void TolvarBoxForm::showIntroPage() {
    platform::BrowserArray* array = host_.array();
    if (!array || !host_.elementInUse()) return;
    auto* wait = new QObject(array);  // goes with the window
    auto over = std::make_shared<bool>(false);
    auto done = [this, wait, over] {
        if (std::exchange(*over, true)) return;
        wait->deleteLater();
        platform::WebBrowser* inUse = host_.elementInUse();
        if (inUse && inUse->LocationURL() == QLatin1String("about:blank")) buildIntroPage(inUse);
    };
    auto* limit = new QTimer(wait);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, wait, done);
    limit->start(kIntroWaitLimitMs);
    connect(array, &platform::BrowserArray::DocumentComplete, wait, [this, done] {
        if (platform::WebBrowser* inUse = host_.elementInUse(); inUse && inUse->ReadyState() == 4)
            done();
    });
    // Already complete (a message box of the start-up let the page get there): after the show.
    if (host_.elementInUse()->ReadyState() == 4) QTimer::singleShot(0, wait, done);
}

void TolvarBoxForm::buildIntroPage(platform::WebBrowser* inUse) {
    const ScriptDocument& doc = ScriptModule::scriptDocument();
    // The page work goes to the page in one go.
    platform::PageBatch page(inUse->DocumentOnFirstCall());
    const int body = page.body();
    if (doc.name.isEmpty()) {
        page.setProperty(body, QStringLiteral("innerHTML"), kWelcome);
        page.run();
        Q_EMIT introPageShown();
        return;
    }
    const QString templateText = ScriptModule::readTextFile(platform::programFile(kTemplateFile));
    const playerIntro::IntroValues values{doc.icon, doc.name, doc.author, doc.home,
                                          doc.information};
    const bool safe = playerIntro::isSafe(templateText, values);
    // Only a web address is offered for the jump: a box's home may name anything.
    if (auto* urlText = control<QLineEdit>(QStringLiteral("urlText"));
        urlText && platform::isWebAddress(doc.home))
        urlText->setText(doc.home);

    if (!safe) {
        page.setProperty(body, QStringLiteral("innerHTML"), kUnsafe);
        page.run();
        Q_EMIT introPageShown();
        return;
    }
    const playerIntro::IntroParts parts =
        playerIntro::introParts(templateText, values, platform::programFolder());
    const int style = page.createElement(QStringLiteral("style"));
    page.setProperty(style, QStringLiteral("type"), QStringLiteral("text/css"));
    page.setProperty(style, QStringLiteral("styleSheet.cssText"), parts.css);
    const int head = page.getElementsByTagName(QStringLiteral("head"), 0);
    page.appendChild(head, style);
    page.setProperty(body, QStringLiteral("innerHTML"), parts.bodyHtml);
    page.run();
    Q_EMIT introPageShown();
}

void TolvarBoxForm::matchTargets(platform::WebBrowser* inUse) {
    if (!inUse) return;
    const ScriptDocument& doc = ScriptModule::scriptDocument();
    // A box dresses pages from the web only: never a local file, data, source view or the
    // browser's own pages, whatever its targets say.
    const QString url = inUse->LocationURL();
    if (!platform::isWebAddress(url) || !playerIntro::matchesTarget(url, doc.target)) return;
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
