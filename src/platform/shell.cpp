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

bool isWebAddress(const QString& address) {
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

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
