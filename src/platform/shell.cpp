#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

namespace {
bool holdBack = false;
QStringList& opened() {
    static QStringList list;
    return list;
}
}  // namespace

void openInSystemBrowser(const QString& address) {
    opened().append(address);
    if (holdBack) return;
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void holdBackSystemBrowserForTest(bool hold) {
    holdBack = hold;
}
QStringList openedAddresses() {
    return opened();
}
void clearOpenedAddresses() {
    opened().clear();
}

}  // namespace platform
