#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Whether the text, exactly as given, is a web address: http or https in any letter case,
// with a host. Only such addresses go to the system's browser, become links or get a box.
bool isWebAddress(const QString& address);

// Hands an address to the system's web browser. While opening is held back (tests), the
// address is only recorded.
void openInSystemBrowser(const QString& address);

void holdBackSystemBrowserForTest(bool hold);
QStringList openedAddresses();
void clearOpenedAddresses();

}  // namespace platform
