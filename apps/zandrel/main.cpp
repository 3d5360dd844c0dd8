#include <QApplication>

#include "platform/appinit.h"
#include "platform/core/programfolder.h"
#include "player/tolvarboxform.h"
#include "workbench/searchwndform.h"

int main(int argc, char** argv) {
    platform::prepareApplication();
    QApplication app(argc, argv);
    platform::installTranslations();
    platform::setProgramFolder(QCoreApplication::applicationDirPath());
    // The player's search finds box files.
    SearchWndForm::instance().setKindWord(SearchWndForm::playerKind());
    TolvarBoxForm::instance().showSearchWindow = [] { SearchWndForm::instance().show(); };
    TolvarBoxForm::instance().show();
    return app.exec();
}
