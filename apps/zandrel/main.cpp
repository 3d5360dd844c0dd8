#include <QApplication>

#include "platform/appinit.h"
#include "platform/core/programfolder.h"
#include "player/playerprogram.h"
#include "player/tolvarboxform.h"

int main(int argc, char** argv) {
    platform::prepareApplication();
    QApplication app(argc, argv);
    platform::installTranslations();
    platform::setProgramFolder(QCoreApplication::applicationDirPath());
    playerProgram::prepare();
    TolvarBoxForm::instance().show();
    return app.exec();
}
