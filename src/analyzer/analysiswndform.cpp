#include "analyzer/analysiswndform.h"

analysisWndForm& analysisWndForm::instance() {
    static analysisWndForm* form = new analysisWndForm();
    return *form;
}

analysisWndForm::analysisWndForm() : platform::Form(QStringLiteral("analysisWndForm")) {}

void analysisWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("查看页面"));
    window->resize(platform::px(9600), platform::px(7200));
}
