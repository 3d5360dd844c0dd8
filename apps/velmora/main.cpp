#include <QApplication>

#include "livepagewiring.h"

#include "platform/appinit.h"
#include "platform/core/programfolder.h"
#include "workbench/mainwndform.h"
#include "workbench/makeboxform.h"
#include "workbench/scriptwndform.h"
#include "workbench/searchwndform.h"

int main(int argc, char** argv) {
    platform::prepareApplication();
    QApplication app(argc, argv);
    platform::installTranslations();
    platform::setProgramFolder(QCoreApplication::applicationDirPath());
    ScriptWndForm::wireMainWindow();
    wireLivePageWindows();
    wireBoxAndShareWindows();
    wireSearchWindow();
    MainWndForm::instance().show();
    return app.exec();
}
