#include "workbench/skineditpanel.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QUrl>

#include "library/board.h"
#include "library/folderlist.h"
#include "library/textfile.h"
#include "platform/core/programfolder.h"
#include "platform/core/random.h"
#include "platform/form.h"
#include "platform/webbrowser.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kToken = QStringLiteral("$BoardTemplate$");
const QString kSkinExtension = QStringLiteral(".skin");

const QString kButton = QStringLiteral("按钮");
const QString kLine = QStringLiteral("分隔线");
const QString kTextBox = QStringLiteral("文本框");
const QString kDisplay = QStringLiteral("显示区");
const QString kClickAction = QStringLiteral("单击");
const QString kUnnamed = QStringLiteral("未命名");
const QString kArrow = QStringLiteral("->");

// The panel's design size, in twips.
constexpr int kDesignWidth = 10395;
constexpr int kDesignHeight = 6810;

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                  int width, int height) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    platform::placeTwips(label, left, top, width, height);
    return label;
}

QLineEdit* makeText(QWidget* parent, const QString& name, int left, int top, int width,
                    int height) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    platform::placeTwips(edit, left, top, width, height);
    return edit;
}

// A drop-down list that cannot be edited: its text is the selected entry, or empty.
QComboBox* makeCombo(QWidget* parent, const QString& name, int left, int top, int width,
                     int height) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(false);
    platform::placeTwips(combo, left, top, width, height);
    return combo;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    platform::placeTwips(button, left, top, width, height);
    return button;
}

// Qt selects the first entry that goes into an empty drop-down list; these lists start with
// nothing selected.
void fillWithoutSelection(QComboBox* combo, const QStringList& entries) {
    combo->clear();
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
}

// The entry prefix of a kind of child; empty for names that give no entry.
QString entryPrefix(const QString& kind) {
    if (kind == QLatin1String("item")) return kButton;
    if (kind == QLatin1String("enter")) return kTextBox;
    if (kind == QLatin1String("label")) return kDisplay;
    return QString();
}

}  // namespace

SkinEditPanel::SkinEditPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SkinEditPanel"));
    resize(platform::px(kDesignWidth), platform::px(kDesignHeight));
    buildControls();

    loadSkinFileList();
    componentsCombo_->addItems({kButton, kLine, kTextBox, kDisplay});
    selectKind(kButton);
    actionCombo_->addItem(kClickAction);
    actionCombo_->setCurrentIndex(0);

    // The browser shows no dialog boxes of its own and starts on an empty page.
    previewWB_->setSilent(true);
    previewWB_->Navigate(QStringLiteral("about:blank"));
}

void SkinEditPanel::buildControls() {
    cssFileLabel_ =
        makeLabel(this, QStringLiteral("cssFileLabel"), QStringLiteral("皮肤"), 120, 120, 495, 255);
    cssFileCombo_ = makeCombo(this, QStringLiteral("cssFileCombo"), 720, 120, 1695, 300);
    previewCommand_ = makeButton(this, QStringLiteral("previewCommand"), QStringLiteral("预 览"),
                                 2760, 120, 975, 375);

    itemList_ = new QListWidget(this);
    itemList_->setObjectName(QStringLiteral("itemList"));
    itemList_->setSelectionMode(QAbstractItemView::SingleSelection);
    platform::placeTwips(itemList_, 120, 600, 3615, 2040);

    moveTopCommand_ = makeButton(this, QStringLiteral("moveTopCommand"), QStringLiteral("置 顶"),
                                 120, 2760, 735, 375);
    moveUpCommand_ = makeButton(this, QStringLiteral("moveUpCommand"), QStringLiteral("上 移"),
                                1080, 2760, 735, 375);
    moveDownCommand_ = makeButton(this, QStringLiteral("moveDownCommand"), QStringLiteral("下 移"),
                                  2040, 2760, 735, 375);
    moveButtomCommand_ = makeButton(this, QStringLiteral("moveButtomCommand"),
                                    QStringLiteral("置 底"), 3000, 2760, 735, 375);

    componentsCombo_ = makeCombo(this, QStringLiteral("componentsCombo"), 120, 3400, 1095, 300);
    addItemCommand_ = makeButton(this, QStringLiteral("addItemCommand"), QStringLiteral("添 加"),
                                 1320, 3360, 735, 375);
    editItemCommand_ = makeButton(this, QStringLiteral("editItemCommand"), QStringLiteral("修 改"),
                                  2160, 3360, 735, 375);
    delItemCommand_ = makeButton(this, QStringLiteral("delItemCommand"), QStringLiteral("删 除"),
                                 3000, 3360, 735, 375);

    makeLabel(this, QStringLiteral("idLabel"), QStringLiteral("编 号"), 240, 4200, 735, 255);
    idText_ = makeText(this, QStringLiteral("idText"), 1080, 4200, 1695, 270);
    makeLabel(this, QStringLiteral("showLabel"), QStringLiteral("显 示"), 240, 4680, 735, 255);
    showText_ = makeText(this, QStringLiteral("showText"), 1080, 4680, 1695, 270);
    makeLabel(this, QStringLiteral("styleLabel"), QStringLiteral("样 式"), 360, 5160, 615, 255);
    styleCombo_ = makeCombo(this, QStringLiteral("styleCombo"), 1080, 5160, 1695, 300);
    makeLabel(this, QStringLiteral("actionLabel"), QStringLiteral("动 作"), 360, 5640, 615, 255);
    actionCombo_ = makeCombo(this, QStringLiteral("actionCombo"), 1080, 5640, 1695, 300);
    makeLabel(this, QStringLiteral("functionLabel"), QStringLiteral("触 发"), 360, 6120, 615, 255);
    functionText_ = makeText(this, QStringLiteral("functionText"), 1080, 6120, 1695, 270);

    previewWB_ = new platform::WebBrowser(this);
    previewWB_->setObjectName(QStringLiteral("previewWB"));
    platform::placeTwips(previewWB_, 3840, 120, 6375, 6495);

    connect(previewCommand_, &QPushButton::clicked, this, &SkinEditPanel::preview);
    connect(addItemCommand_, &QPushButton::clicked, this, &SkinEditPanel::addClicked);
    connect(editItemCommand_, &QPushButton::clicked, this, &SkinEditPanel::editClicked);
    connect(delItemCommand_, &QPushButton::clicked, this, &SkinEditPanel::deleteClicked);
    connect(moveTopCommand_, &QPushButton::clicked, this, &SkinEditPanel::moveTopClicked);
    connect(moveUpCommand_, &QPushButton::clicked, this, &SkinEditPanel::moveUpClicked);
    connect(moveDownCommand_, &QPushButton::clicked, this, &SkinEditPanel::moveDownClicked);
    connect(moveButtomCommand_, &QPushButton::clicked, this, &SkinEditPanel::moveBottomClicked);

    // A user's choice in a drop-down list; choices made in code call the handlers directly.
    connect(componentsCombo_, &QComboBox::activated, this, [this](int) { kindSwitch(); });
    connect(cssFileCombo_, &QComboBox::activated, this, &SkinEditPanel::skinChosen);

    // An entry click: an entry picked (a click, the arrow keys, Space), or a mouse click on
    // the entry that is picked already, which loads it into the fields again. The list
    // getting the focus makes its first entry current without picking it: that fills
    // nothing, or the fields typed for a new item would be lost.
    connect(itemList_, &QListWidget::itemSelectionChanged, this, [this] {
        if (rebuilding_) return;
        const int row = selectedRow();
        if (row < 0) return;
        filledThisPress_ = true;
        entryClicked(row);
    });
    itemList_->viewport()->installEventFilter(this);
    connect(itemList_, &QListWidget::itemPressed, this, [this](QListWidgetItem* item) {
        if (filledThisPress_ || rebuilding_ || !item->isSelected()) return;
        entryClicked(itemList_->row(item));
    });
}

bool SkinEditPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == itemList_->viewport() && event->type() == QEvent::MouseButtonPress)
        filledThisPress_ = false;
    return QWidget::eventFilter(watched, event);
}

int SkinEditPanel::selectedRow() const {
    const QList<QListWidgetItem*> picked = itemList_->selectedItems();
    return picked.isEmpty() ? -1 : itemList_->row(picked.first());
}

// ---------------------------------------------------------------- entries and skins

void SkinEditPanel::setSkinData(const XmlNode& list) {
    // The list comes first, so that the skin choice below writes into the new list.
    skinListNode_ = list;

    rebuilding_ = true;
    itemList_->clear();
    entryNodes_.clear();
    const XmlNodeList children = skinListNode_.childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const XmlNode child = children.item(i);
        const QString kind = child.baseName();
        if (kind == QLatin1String("line")) {
            itemList_->addItem(kLine);
            entryNodes_.append(child);
            continue;
        }
        const QString prefix = entryPrefix(kind);
        if (prefix.isEmpty()) continue;
        if (!child.hasChildNodes()) {
            itemList_->addItem(prefix + kArrow + kUnnamed);
            entryNodes_.append(child);
            continue;
        }
        const XmlNodeList values = child.childNodes();
        for (int j = 0; j < values.length(); ++j) {
            const XmlNode value = values.item(j);
            if (value.baseName() != QLatin1String("id")) continue;
            itemList_->addItem(prefix + kArrow + value.text());
            entryNodes_.append(child);
        }
    }
    itemList_->setCurrentRow(-1);
    rebuilding_ = false;

    // The chooser shows the skin the board is shown in. A list without a skin gets the first
    // one, written into the list. Without a list yet, the chooser shows the skin the list will
    // be made with: the one the user chose meanwhile, else the first. A list naming a skin
    // that is not there shows none, since none will be found.
    if (cssFileCombo_->count() == 0) return;
    if (skinListNode_.isNull()) {
        selectSkin(cssFileCombo_->currentIndex() >= 0 ? cssFileCombo_->currentIndex() : 0);
        return;
    }
    const XmlNode style = skinListNode_.getNamedItem(QStringLiteral("style"));
    if (style.isNull()) {
        selectSkin(0);
        return;
    }
    const int named =
        cssFileCombo_->findText(style.nodeTypedValue(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (named >= 0) {
        selectSkin(named);
        return;
    }
    cssFileCombo_->setCurrentIndex(-1);
    fillWithoutSelection(styleCombo_, {});
    classesOffered_ = false;
}

XmlNode SkinEditPanel::getSkinData() {
    if (skinListNode_.isNull()) {
        XmlDocument doc;
        setSkinData(newList(doc));
    }
    return skinListNode_;
}

XmlNode SkinEditPanel::newList(XmlDocument& doc) const {
    XmlNode list = doc.appendChild(doc.createNode(QStringLiteral("list")));
    // The skin the chooser shows is the one the new board gets.
    if (cssFileCombo_->currentIndex() >= 0) {
        XmlNode attribute = doc.createAttribute(QStringLiteral("style"));
        attribute.setNodeTypedValue(cssFileCombo_->currentText());
        list.setNamedItem(attribute);
    }
    return list;
}

void SkinEditPanel::loadSkinFileList() {
    cssFileCombo_->clear();
    // Sorted by name, so that "the first skin" that new boards get is the same on every
    // machine whatever order the file system keeps, and the box maker offers the same order.
    QList<FolderList::Entry> skins =
        FolderList::filesMarked(platform::programFile(QStringLiteral("css")), kSkinExtension, true);
    FolderList::sortByName(skins);
    QStringList names;
    for (const FolderList::Entry& skin : skins) names.append(skin.text);
    fillWithoutSelection(cssFileCombo_, names);
}

void SkinEditPanel::selectSkin(int index) {
    cssFileCombo_->setCurrentIndex(index);
    skinChosen(index);
}

void SkinEditPanel::skinChosen(int index) {
    if (index < 0 || index >= cssFileCombo_->count()) return;
    const QString name = cssFileCombo_->itemText(index);

    // Every refresh of the entries chooses the list's skin again; the style classes are read
    // anew only for another skin, so that a class picked for the next item stays picked.
    if (!classesOffered_ || offeredSkin_ != name) {
        const QString text = ScriptModule::readTextFile(
            platform::programFile(QStringLiteral("css/") + name + kSkinExtension));
        QStringList classes;
        for (const QString& line : text.split(kCrLf))
            if (line.startsWith(QLatin1Char('.'))) classes.append(line.mid(1));
        fillWithoutSelection(styleCombo_, classes);
        offeredSkin_ = name;
        classesOffered_ = true;
    }

    if (skinListNode_.isNull()) return;
    XmlNode style = skinListNode_.getNamedItem(QStringLiteral("style"));
    if (style.isNull()) {
        XmlDocument doc;
        XmlNode attribute = doc.createAttribute(QStringLiteral("style"));
        attribute.setNodeTypedValue(name);
        skinListNode_.setNamedItem(attribute);
    } else {
        style.setNodeTypedValue(name);
    }
}

// ---------------------------------------------------------------- building items

XmlNode SkinEditPanel::buildItem() {
    const QString kind = componentsCombo_->currentText();
    QString element;
    QString defaultId;
    if (kind == kButton) {
        element = QStringLiteral("item");
        defaultId = QStringLiteral("btn");
    } else if (kind == kLine) {
        element = QStringLiteral("line");
    } else if (kind == kTextBox) {
        element = QStringLiteral("enter");
        defaultId = QStringLiteral("inBox");
    } else if (kind == kDisplay) {
        element = QStringLiteral("label");
        defaultId = QStringLiteral("showBox");
    } else {
        return XmlNode();
    }

    XmlDocument doc;
    XmlNode item = doc.createNode(element);
    if (element == QLatin1String("line")) return item;

    auto appendValue = [&doc, &item](const QString& name, const QString& value) {
        XmlNode child = doc.createNode(name);
        child.setText(value);
        item.appendChild(child);
    };
    QString id = idText_->text();
    if (id.isEmpty()) id = defaultId + QString::number(int(999 * platform::rnd()));
    idText_->clear();
    appendValue(QStringLiteral("id"), id);
    appendValue(QStringLiteral("show"), showText_->text());
    showText_->clear();
    if (element == QLatin1String("item") && actionCombo_->currentText() == kClickAction) {
        appendValue(QStringLiteral("click"), functionText_->text());
        functionText_->clear();
    }
    appendValue(QStringLiteral("style"), styleCombo_->currentText());
    return item;
}

void SkinEditPanel::appendSkinItem(const XmlNode& node) {
    if (skinListNode_.isNull()) {
        XmlDocument doc;
        skinListNode_ = newList(doc);
    }
    skinListNode_.appendChild(node);
    setSkinData(skinListNode_);
}

// ---------------------------------------------------------------- user operations

void SkinEditPanel::addClicked() {
    const XmlNode item = buildItem();
    if (item.isNull()) return;
    if (skinListNode_.isNull()) {
        appendSkinItem(item);
        return;
    }
    skinListNode_.appendChild(item);
    setSkinData(skinListNode_);
}

void SkinEditPanel::editClicked() {
    // The target is the picked entry's child, the one its pick put into the fields. Without
    // a picked entry (after every refresh, or when the list merely has the focus) there is
    // nothing to modify: the fields then keep what was typed.
    const int row = selectedRow();
    if (row < 0 || row >= entryNodes_.size() || skinListNode_.isNull()) return;
    selectedItemNode_ = entryNodes_.at(row);
    if (selectedItemNode_.parentNode() != skinListNode_) return;
    const XmlNode item = buildItem();
    if (item.isNull()) return;
    skinListNode_.replaceChild(item, selectedItemNode_);
    setSkinData(skinListNode_);
}

void SkinEditPanel::deleteClicked() {
    const int row = selectedRow();
    if (row < 0 || row >= entryNodes_.size()) return;
    skinListNode_.removeChild(entryNodes_.at(row));
    setSkinData(skinListNode_);
}

QList<XmlNode> SkinEditPanel::shownChildren() const {
    QList<XmlNode> shown;
    for (const XmlNode& node : entryNodes_)
        if (shown.isEmpty() || !(shown.last() == node)) shown.append(node);
    return shown;
}

int SkinEditPanel::shownPosition(int row) const {
    if (row < 0 || row >= entryNodes_.size()) return -1;
    return int(shownChildren().indexOf(entryNodes_.at(row)));
}

// The moves act on the child behind the selected entry and step over children that give no
// entry, so that every move shows; without a selected entry they do nothing.
void SkinEditPanel::moveTopClicked() {
    const int row = selectedRow();
    if (shownPosition(row) < 0) return;
    const XmlNode node = entryNodes_.at(row);
    skinListNode_.removeChild(node);
    skinListNode_.insertBefore(node, skinListNode_.firstChild());
    setSkinData(skinListNode_);
}

void SkinEditPanel::moveUpClicked() {
    const int row = selectedRow();
    const int pos = shownPosition(row);
    if (pos <= 0) return;
    const XmlNode node = entryNodes_.at(row);
    const XmlNode previous = shownChildren().at(pos - 1);
    skinListNode_.removeChild(node);
    skinListNode_.insertBefore(node, previous);
    setSkinData(skinListNode_);
}

void SkinEditPanel::moveDownClicked() {
    const int row = selectedRow();
    const int pos = shownPosition(row);
    const QList<XmlNode> shown = shownChildren();
    if (pos < 0 || pos == shown.size() - 1) return;
    const XmlNode node = entryNodes_.at(row);
    const XmlNode after = shown.at(pos + 1).nextSibling();
    skinListNode_.removeChild(node);
    skinListNode_.insertBefore(node, after);
    setSkinData(skinListNode_);
}

void SkinEditPanel::moveBottomClicked() {
    const int row = selectedRow();
    if (shownPosition(row) < 0) return;
    const XmlNode node = entryNodes_.at(row);
    skinListNode_.removeChild(node);
    skinListNode_.appendChild(node);
    setSkinData(skinListNode_);
}

void SkinEditPanel::entryClicked(int row) {
    if (row < 0 || row >= entryNodes_.size()) return;
    selectedItemNode_ = entryNodes_.at(row);
    const QString kind = selectedItemNode_.baseName();
    if (kind == QLatin1String("line")) {
        selectKind(kLine);
        return;
    }
    const QString prefix = entryPrefix(kind);
    if (prefix.isEmpty()) return;
    selectKind(prefix);

    const bool isButton = kind == QLatin1String("item");
    const XmlNodeList values = selectedItemNode_.childNodes();
    for (int i = 0; i < values.length(); ++i) {
        const XmlNode value = values.item(i);
        const QString name = value.baseName();
        if (name == QLatin1String("id")) {
            idText_->setText(value.text());
        } else if (name == QLatin1String("show")) {
            showText_->setText(value.text());
        } else if (name == QLatin1String("click") && isButton) {
            const int action = actionCombo_->findText(kClickAction, Qt::MatchExactly);
            if (action >= 0) actionCombo_->setCurrentIndex(action);
            functionText_->setText(value.text());
        } else if (name == QLatin1String("style")) {
            styleCombo_->setCurrentIndex(-1);
            const int style =
                styleCombo_->findText(value.text(), Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (style >= 0) styleCombo_->setCurrentIndex(style);
        }
    }
}

void SkinEditPanel::selectKind(const QString& kind) {
    const int index = componentsCombo_->findText(kind, Qt::MatchExactly);
    if (index < 0) return;
    componentsCombo_->setCurrentIndex(index);
    kindSwitch();
}

void SkinEditPanel::kindSwitch() {
    const QString kind = componentsCombo_->currentText();
    const bool button = kind == kButton;
    const bool valued = button || kind == kTextBox || kind == kDisplay;
    idText_->setEnabled(valued);
    showText_->setEnabled(valued);
    styleCombo_->setEnabled(valued);
    actionCombo_->setEnabled(button);
    functionText_->setEnabled(button);
}

// ---------------------------------------------------------------- preview and layout

QString SkinEditPanel::previewAddress() {
    return QUrl::fromLocalFile(platform::programFile(QStringLiteral("skin.htm"))).toString();
}

void SkinEditPanel::preview() {
    QString page = ScriptModule::readTextFile(platform::programFile(
        QStringLiteral("css/") + cssFileCombo_->currentText() + kSkinExtension));
    page.replace(kToken, skinModule::buildBoardHtml(skinListNode_));
    ScriptModule::writeTextFile(platform::programFile(QStringLiteral("skin.htm")), page);
    previewWB_->Navigate(previewAddress());
}

void SkinEditPanel::layoutControls() {
    const int height = platform::twips(this->height()) - previewWB_->Top();
    if (height >= 0) previewWB_->setHeight(height);
    const int width = platform::twips(this->width()) - previewWB_->Left();
    if (width >= 0) previewWB_->setWidth(width);
}

void SkinEditPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}
