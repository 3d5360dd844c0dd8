#include "livepage/browserhost.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <initializer_list>
#include <limits>

#include "platform/form.h"

namespace livePage {

QString lockNewWindowText() {
    return QStringLiteral("锁定新窗口");
}
QString blockNewWindowText() {
    return QStringLiteral("屏蔽新窗口");
}

BrowserHost::BrowserHost(qint16* curBrowserIndex, qint16* newWindowMode,
                         BrowserHostSettings settings, QObject* parent)
    : QObject(parent),
      curBrowserIndex_(curBrowserIndex),
      newWindowMode_(newWindowMode),
      settings_(std::move(settings)) {}

void BrowserHost::attach(QWidget* parent, platform::BrowserArray* array, QComboBox* newWndCombo,
                         QLineEdit* addressBox, QAbstractButton* navigationButton) {
    detach();
    parent_ = parent;
    array_ = array;
    combo_ = newWndCombo;
    addressBox_ = addressBox;
    navigationButton_ = navigationButton;

    if (array) {
        connect(array, &platform::BrowserArray::NewWindow2, this, &BrowserHost::onNewWindow);
        connect(array, &platform::BrowserArray::DocumentComplete, this,
                &BrowserHost::onDocumentComplete);
        connect(array, &platform::BrowserArray::NavigateComplete2, this,
                [this](int index, const QString&) { onNavigateComplete(index); });
        // NavigateError: the control shows its own error page; nothing to do here.
        connect(array, &platform::BrowserArray::WindowClosing, this, &BrowserHost::onWindowClosing);
    }
    if (newWndCombo) {
        newWndCombo->setEditable(false);
        newWndCombo->clear();
        newWndCombo->addItems({lockNewWindowText(), blockNewWindowText()});
        newWndCombo->setCurrentIndex(-1);
        platform::growToItems(newWndCombo);
        // activated comes with every choice of the user, also of the item already shown.
        connect(newWndCombo, &QComboBox::activated, this, [this](int) { onNewWndComboClick(); });
    }
    if (addressBox) {
        addressBox->setText(QStringLiteral("http://"));
        connect(addressBox, &QLineEdit::returnPressed, this, &BrowserHost::navigateToAddress);
    }
    if (navigationButton)
        connect(navigationButton, &QAbstractButton::clicked, this, &BrowserHost::navigateToAddress);
}

void BrowserHost::detach() {
    for (QObject* control :
         std::initializer_list<QObject*>{array_, combo_, addressBox_, navigationButton_})
        if (control) disconnect(control, nullptr, this, nullptr);
    parent_ = nullptr;
    array_ = nullptr;
    combo_ = nullptr;
    addressBox_ = nullptr;
    navigationButton_ = nullptr;
}

platform::WebBrowser* BrowserHost::elementInUse() const {
    return array_ ? array_->element(*curBrowserIndex_) : nullptr;
}

bool BrowserHost::runLoadStep() {
    if (settings_.navigateOnLoad) {
        platform::WebBrowser* inUse = elementInUse();
        if (!inUse) return false;
        inUse->Navigate(QStringLiteral("about:blank"));
        if (settings_.silentOnLoad) inUse->setSilent(true);
    }
    selectNewWindowItem(0);
    if (!settings_.navigateOnLoad && settings_.silentOnLoad) {
        platform::WebBrowser* first = array_ ? array_->element(0) : nullptr;
        if (!first) return false;
        first->setSilent(true);
    }
    return true;
}

void BrowserHost::selectNewWindowItem(int index) {
    if (combo_) {
        const QSignalBlocker quiet(combo_);
        combo_->setCurrentIndex(index);
    }
    onNewWndComboClick();
}

void BrowserHost::onNewWndComboClick() {
    if (!combo_) return;
    const QString text = combo_->currentText();
    if (text == lockNewWindowText())
        *newWindowMode_ = 0;
    else if (text == blockNewWindowText())
        *newWindowMode_ = -1;
}

void BrowserHost::onNewWindow(int index, platform::NewWindowRequest* request) {
    platform::BrowserArray* array = array_;
    platform::WebBrowser* from = array ? array->element(index) : nullptr;
    // A kept window needs a next index that fits the 16-bit index; a request beyond it is
    // refused as if new windows were blocked.
    const bool keep =
        *newWindowMode_ != -1 && from && index < std::numeric_limits<qint16>::max() && parent_;
    if (!keep) {
        request->cancel = true;
    } else {
        // An element that still holds the next index (one left behind when the hidden element
        // 0 opened a window earlier) gives way: the newest window is the one to show.
        if (array->exists(index + 1)) array->unloadElement(index + 1);
        platform::WebBrowser* next = array->loadElement(index + 1, parent_);
        if (!next) {
            request->cancel = true;
        } else {
            if (settings_.silentOnNewElement) next->setSilent(true);
            next->setLeft(from->Left());
            next->setTop(from->Top());
            next->setHeight(from->Height());
            next->setWidth(from->Width());
            next->show();
            next->ZOrder();
            request->target = next;
            if (index == 0 || (unloadLater && unloadLater(index)))
                from->hide();
            else
                array->unloadElement(index);
            *curBrowserIndex_ = qint16(index + 1);
        }
    }
    if (settings_.silentAfterChain) {
        if (platform::WebBrowser* inUse = elementInUse()) inUse->setSilent(true);
    }
    runLayout();
}

void BrowserHost::onDocumentComplete(int, const QString& url) {
    platform::WebBrowser* inUse = elementInUse();
    if (!inUse) return;
    if (settings_.silentOnComplete) inUse->setSilent(true);
    const QString location = inUse->LocationURL();
    if (settings_.stopAddresses.contains(location)) return;
    if (addressBox_) addressBox_->setText(location);
    if (location != url) return;  // a frame or an inner document
    if (topDocumentAction) topDocumentAction(inUse);
}

void BrowserHost::onNavigateComplete(int) {
    if (!settings_.silentOnNavigateComplete) return;
    if (platform::WebBrowser* inUse = elementInUse()) inUse->setSilent(true);
}

void BrowserHost::onWindowClosing(int index) {
    platform::BrowserArray* array = array_;
    // Element 0 belongs to the window's design and stays.
    if (!array || index <= 0 || !array->exists(index)) return;
    if (index == *curBrowserIndex_) {
        // The element the closing one came from takes over again. Every element that opened a
        // window went when it did, except element 0, which only hid: the nearest element below
        // is the one still there on that road.
        int back = index - 1;
        while (back > 0 && !array->exists(back)) --back;
        platform::WebBrowser* shown = array->element(back);
        if (!shown) return;
        *curBrowserIndex_ = qint16(back);
        shown->show();
        shown->ZOrder();
        const QString location = shown->LocationURL();
        if (addressBox_ && !settings_.stopAddresses.contains(location))
            addressBox_->setText(location);
    }
    array->unloadElement(index);
    runLayout();
}

void BrowserHost::navigateToAddress() {
    if (beforeNavigate) beforeNavigate();
    platform::WebBrowser* inUse = elementInUse();
    if (!inUse || !addressBox_) return;
    inUse->Navigate2(addressBox_->text());
}

void BrowserHost::runLayout() {
    if (layoutControls) layoutControls();
}

}  // namespace livePage
