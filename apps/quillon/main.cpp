#include <QApplication>

#include "analyzer/analysiswndform.h"
#include "platform/appinit.h"
#include "platform/core/programfolder.h"

int main(int argc, char** argv) {
    platform::prepareApplication();
    QApplication app(argc, argv);
    platform::installTranslations();
    platform::setProgramFolder(QCoreApplication::applicationDirPath());
    // The page viewer's load opens the node window, which shows the page viewer in turn; the
    // run ends when the last of the two is closed.
    app.setQuitOnLastWindowClosed(true);
    analysisWndForm::instance().show();
    return app.exec();
}
