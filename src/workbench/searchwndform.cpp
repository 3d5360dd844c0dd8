#include "workbench/searchwndform.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

#include "platform/core/ansi.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "workbench/mainwndform.h"
#include "workbench/site.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kRecordSeparator = QStringLiteral("|||");
const QString kFieldSeparator = QStringLiteral(":::");
constexpr int kFirstChunkBytes = 1024;
constexpr int kFieldCount = 4;

// The design, in twips: the least size, and the places that the layout keeps.
constexpr int kMinWidthTwips = 7200;
constexpr int kMinHeightTwips = 6000;
constexpr int kMargin = 120;
constexpr int kRowHeight = 300;
constexpr int kKeywordLeft = 1320;
constexpr int kSearchWidth = 1080;
constexpr int kListTop = 540;
constexpr int kListHeight = 2760;

}  // namespace

SearchWndForm& SearchWndForm::instance() {
    static SearchWndForm* form = new SearchWndForm();
    return *form;
}

SearchWndForm::SearchWndForm()
    : platform::Form(QStringLiteral("SearchWndForm")), kindWord_(workbenchKind()) {}

QString SearchWndForm::workbenchKind() {
    return QStringLiteral("open");
}

QString SearchWndForm::playerKind() {
    return QStringLiteral("close");
}

void SearchWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("搜索脚本"));
    window->resize(platform::px(kMinWidthTwips), platform::px(kMinHeightTwips));
    setMinimumSizeTwips(kMinWidthTwips, kMinHeightTwips);

    auto* combo = new QComboBox(window);
    combo->setObjectName(QStringLiteral("typeCombo"));
    combo->setEditable(false);
    platform::placeTwips(combo, 120, 120, 1095, 300);
    auto* keyword = new QLineEdit(window);
    keyword->setObjectName(QStringLiteral("keywordText"));
    platform::placeTwips(keyword, 1320, 120, 4560, 300);
    auto* search = new QPushButton(QStringLiteral("搜 索"), window);
    search->setObjectName(QStringLiteral("searchCommand"));
    platform::placeTwips(search, 6000, 120, 1080, 300);
    auto* list = new QListWidget(window);
    list->setObjectName(QStringLiteral("resultList"));
    platform::placeTwips(list, 120, 540, 6960, 2760);
    auto* more = new QPlainTextEdit(window);
    more->setObjectName(QStringLiteral("moreText"));
    more->setReadOnly(true);
    platform::placeTwips(more, 120, 3420, 6960, 2460);

    combo->addItem(QStringLiteral("名称"));
    combo->addItem(QStringLiteral("简介"));
    combo->setCurrentIndex(0);
    searchResults.clear();
    busy_ = false;

    connect(search, &QPushButton::clicked, this, &SearchWndForm::searchClicked);
    connect(keyword, &QLineEdit::returnPressed, search, &QPushButton::click);
    connect(list, &QListWidget::itemClicked, this, [this, list](QListWidgetItem* item) {
        if (item->isSelected()) resultClicked(list->row(item));
    });
    // The details follow the picked result however it was picked: a click, the arrow keys,
    // Space, Home, End or the pages. The list getting the focus makes its first line current
    // without picking it, which shows nothing.
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list] {
        const QList<QListWidgetItem*> picked = list->selectedItems();
        if (!picked.isEmpty()) resultClicked(list->row(picked.first()));
    });
}

void SearchWndForm::onResize() {
    QWidget* window = widget();
    if (!window || window->isMinimized()) return;
    // What a window larger than designed has goes to the keyword box, the list and the
    // details, half the height to each of the last two.
    const int width = std::max(scaleWidth(), kMinWidthTwips);
    const int height = std::max(scaleHeight(), kMinHeightTwips);
    auto* keyword = control<QLineEdit>(QStringLiteral("keywordText"));
    auto* search = control<QPushButton>(QStringLiteral("searchCommand"));
    auto* list = control<QListWidget>(QStringLiteral("resultList"));
    auto* more = control<QPlainTextEdit>(QStringLiteral("moreText"));
    if (!keyword || !search || !list || !more) return;
    const int searchLeft = width - kMargin - kSearchWidth;
    platform::placeTwips(search, searchLeft, kMargin, kSearchWidth, kRowHeight);
    platform::placeTwips(keyword, kKeywordLeft, kMargin, searchLeft - kMargin - kKeywordLeft,
                         kRowHeight);
    const int grow = height - kMinHeightTwips;
    const int listHeight = kListHeight + grow / 2;
    platform::placeTwips(list, kMargin, kListTop, width - 2 * kMargin, listHeight);
    const int moreTop = kListTop + listHeight + kMargin;
    platform::placeTwips(more, kMargin, moreTop, width - 2 * kMargin, height - kMargin - moreTop);
}

QString SearchWndForm::searchBody(const QString& field, const QString& keyword,
                                  const QString& kind) {
    return QStringLiteral("kind=") + field + QStringLiteral("&keyword=") + keyword +
           QStringLiteral("&filetype=") + kind;
}

QString SearchWndForm::postSearch(const QString& field, const QString& keyword, QString* why) {
    const platform::HttpReply reply = platform::httpPost(
        Site::searchAddress(), platform::toAnsi(searchBody(field, keyword, kindWord_)),
        QStringLiteral("Content-Type: application/x-www-form-urlencoded"),
        Site::requestTimeoutMs());
    if (why) *why = Site::failureText(reply);
    if (!reply.complete) return QString();
    return platform::fromAnsi(reply.body.left(kFirstChunkBytes));
}

void SearchWndForm::searchClicked() {
    // The wait lets window events run: a second press meanwhile is refused.
    if (busy_) return;
    QPointer<QListWidget> list = control<QListWidget>(QStringLiteral("resultList"));
    QPointer<QPushButton> button = control<QPushButton>(QStringLiteral("searchCommand"));
    auto* combo = control<QComboBox>(QStringLiteral("typeCombo"));
    auto* keywordBox = control<QLineEdit>(QStringLiteral("keywordText"));
    if (!list || !combo || !keywordBox) return;
    searchResults.clear();
    list->clear();

    const QString keyword = keywordBox->text();
    if (keyword.contains(QLatin1Char('\''))) {
        platform::messageBox(QStringLiteral("不允许使用'来命名"), platform::MsgButtons::Ok,
                             QStringLiteral("提示"), platform::MsgIcon::None, widget());
        return;
    }

    busy_ = true;
    if (button) button->setEnabled(false);
    QString why;
    const QString reply = postSearch(combo->currentText(), keyword, &why);
    busy_ = false;
    if (button) button->setEnabled(true);
    // The window may have been closed during the wait.
    if (!list) return;
    // No network, a site that does not answer and a site that finds nothing all leave the
    // list empty: the user is told which.
    if (!why.isEmpty()) {
        platform::messageBox(QStringLiteral("搜索失败,请检查网络~!\n") + why,
                             platform::MsgButtons::Ok, QStringLiteral("提示"),
                             platform::MsgIcon::Warning, widget());
        return;
    }
    for (const QString& record : reply.split(kRecordSeparator)) {
        const QStringList fields = record.split(kFieldSeparator);
        // A record cut by the size limit, an empty piece after a trailing separator or an
        // error page carries fewer fields: it is no hit.
        if (fields.size() < kFieldCount) continue;
        searchResults.append(record);
        list->addItem(QStringLiteral("编号:") + fields.at(0) + QStringLiteral("  ") + fields.at(1) +
                      QStringLiteral("(被下载") + fields.at(3) + QStringLiteral("次)"));
    }
    if (searchResults.isEmpty())
        platform::messageBox(QStringLiteral("没有找到符合条件的脚本"), platform::MsgButtons::Ok,
                             QStringLiteral("提示"), platform::MsgIcon::None, widget());
}

void SearchWndForm::resultClicked(int row) {
    auto* more = control<QPlainTextEdit>(QStringLiteral("moreText"));
    if (!more || row < 0 || row >= searchResults.size()) return;
    const QStringList fields = searchResults.at(row).split(kFieldSeparator);
    const QString text = kCrLf + QStringLiteral("脚本名称:") + fields.at(1) + kCrLf + kCrLf +
                         QStringLiteral("下载次数:") + fields.at(3) + kCrLf + kCrLf +
                         QStringLiteral("脚本简介:") + fields.at(2) + kCrLf + kCrLf +
                         QStringLiteral("下载地址:") +
                         Site::downloadAddress(kindWord_, fields.at(0)) + kCrLf;
    QString boxText = text;
    boxText.replace(kCrLf, QStringLiteral("\n"));
    more->setPlainText(boxText);
}

void wireSearchWindow() {
    MainWndForm::instance().windows.showSearchWindow = [] { SearchWndForm::instance().show(); };
}
