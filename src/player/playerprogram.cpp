#include "player/playerprogram.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include "player/tolvarboxform.h"
#include "workbench/searchwndform.h"

namespace playerProgram {

namespace {

bool anyWindowOpen() {
    return TolvarBoxForm::instance().isLoaded() || SearchWndForm::instance().isLoaded();
}

}  // namespace

void prepare() {
    SearchWndForm& search = SearchWndForm::instance();
    search.setKindWord(SearchWndForm::playerKind());
    TolvarBoxForm& player = TolvarBoxForm::instance();
    player.showSearchWindow = [] { SearchWndForm::instance().show(); };

    // The toolkit's own rule ends the program when the last *visible* window closes, which a
    // player waiting in the tray is not.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    static bool wired = false;
    if (wired) return;
    wired = true;
    auto endWhenAllClosed = [] {
        if (!anyWindowOpen()) QCoreApplication::quit();
    };
    QObject::connect(&player, &platform::Form::unloaded, qApp, endWhenAllClosed,
                     Qt::QueuedConnection);
    QObject::connect(&search, &platform::Form::unloaded, qApp, endWhenAllClosed,
                     Qt::QueuedConnection);
}

}  // namespace playerProgram
