#include "analyzer/analysiswndform.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analyzer/nodewndform.h"
#include "platform/webbrowser.h"

namespace {

livePage::BrowserHostSettings viewerSettings() {
    livePage::BrowserHostSettings s;
    // The viewer does not navigate at start; element 0 only goes silent.
    s.navigateOnLoad = false;
    s.silentOnLoad = true;
    s.silentOnNewElement = true;
    // The design location of element 0 and a control that never navigated.
    s.stopAddresses = {QString(), QStringLiteral("http:///")};
    return s;
}

}  // namespace

analysisWndForm& analysisWndForm::instance() {
    static analysisWndForm* form = new analysisWndForm();
    return *form;
}

analysisWndForm::analysisWndForm()
    : platform::Form(QStringLiteral("analysisWndForm")),
      host_(&webIndex, &newWindowMode_, viewerSettings()) {
    host_.layoutControls = [this] { layoutControls(); };
    host_.beforeNavigate = [] { nodeWndForm::instance().setStatus(nodeWndForm::loadingText()); };
    host_.topDocumentAction = [](platform::WebBrowser*) {
        nodeWndForm::instance().setStatus(nodeWndForm::completeText());
    };
}

void analysisWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("查看页面"));
    window->resize(platform::px(10560), platform::px(8160));

    auto* label = new QLabel(QStringLiteral("网址"), window);
    label->setObjectName(QStringLiteral("Label1"));
    platform::placeTwips(label, 120, 120, 735, 255);
    auto* address = new QLineEdit(window);
    address->setObjectName(QStringLiteral("Text1"));
    platform::placeTwips(address, 960, 120, 8775, 270);
    auto* combo = new QComboBox(window);
    combo->setObjectName(QStringLiteral("newWndCombo"));
    platform::placeTwips(combo, 8520, 120, 1215, 300);
    combo->raise();
    auto* go = new QPushButton(QStringLiteral("搜 索"), window);
    go->setObjectName(QStringLiteral("Command1"));
    platform::placeTwips(go, 9840, 120, 615, 255);

    auto* array = new platform::BrowserArray(QStringLiteral("analysisWB"), window);
    if (platform::WebBrowser* first = array->loadElement(0, window)) {
        first->setLeft(120);
        first->setTop(480);
        first->setWidth(10335);
        first->setHeight(7455);
        first->show();
    }
    // A window opened again has element 0 only: whatever element was in use went with it.
    webIndex = 0;
    host_.attach(window, array, combo, address, go);
    // An address the engine refuses, or a navigation that ends without a document (a file
    // saved, a stop), leaves the page as it was: complete, unless another load is on its way.
    connect(array, &platform::BrowserArray::NavigateError, this, [this](int index) {
        platform::WebBrowser* inUse = host_.elementInUse();
        if (inUse && index == webIndex && inUse->ReadyState() != 1)
            nodeWndForm::instance().setStatus(nodeWndForm::completeText());
    });

    host_.runLoadStep();
    nodeWndForm::instance().show();
}

void analysisWndForm::onResize() {
    layoutControls();
}

void analysisWndForm::onUnload() {
    host_.detach();
}

void analysisWndForm::layoutControls() {
    QWidget* window = widget();
    platform::WebBrowser* inUse = host_.elementInUse();
    if (!window || !inUse) return;
    const QSize outer = window->frameGeometry().size();
    // A size below zero cannot be set: that step is skipped.
    const int height = platform::twips(outer.height()) - 1100;
    if (height >= 0) inUse->setHeight(height);
    const int width = platform::twips(outer.width()) - 300;
    if (width >= 0) inUse->setWidth(width);
}
