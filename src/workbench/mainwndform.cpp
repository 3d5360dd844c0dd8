#include "workbench/mainwndform.h"

#include <QCoreApplication>

MainWndForm& MainWndForm::instance() {
    static MainWndForm* form = new MainWndForm();
    return *form;
}

MainWndForm::MainWndForm() : platform::Form(QStringLiteral("MainWndForm")) {}

void MainWndForm::onLoad(QWidget* window) {
    window->setWindowTitle(QStringLiteral("VelmoraV3.0"));
    window->resize(platform::px(9600), platform::px(7200));
}

void MainWndForm::onUnload() {
    // Closing the main window ends the workbench, whatever else is open.
    QCoreApplication::quit();
}
