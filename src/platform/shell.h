#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Hands an address to the system's web browser. While opening is held back (tests), the
// address is only recorded.
void openInSystemBrowser(const QString& address);

void holdBackSystemBrowserForTest(bool hold);
QStringList openedAddresses();
void clearOpenedAddresses();

}  // namespace platform
