#include <QApplication>

#include "platform/appinit.h"
#include "platform/core/programfolder.h"
#include "player/tolvarboxform.h"

int main(int argc, char** argv) {
    platform::prepareApplication();
    QApplication app(argc, argv);
    platform::setProgramFolder(QCoreApplication::applicationDirPath());
    TolvarBoxForm::instance().show();
    return app.exec();
}
