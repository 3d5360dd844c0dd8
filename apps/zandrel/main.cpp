#include <QApplication>

#include "player/tolvarboxform.h"
#include "platform/appinit.h"
#include "platform/core/programfolder.h"

int main(int argc, char** argv) {
    platform::prepareApplication();
    QApplication app(argc, argv);
    platform::setProgramFolder(QCoreApplication::applicationDirPath());
    TolvarBoxForm::instance().show();
    return app.exec();
}
