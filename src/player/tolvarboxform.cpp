#include "player/tolvarboxform.h"

TolvarBoxForm& TolvarBoxForm::instance() {
    static TolvarBoxForm* form = new TolvarBoxForm();
    return *form;
}

TolvarBoxForm::TolvarBoxForm() : platform::Form(QStringLiteral("TolvarBoxForm")) {}

void TolvarBoxForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("ZandrelV2.0"));
    window->resize(platform::px(12000), platform::px(9000));
}
