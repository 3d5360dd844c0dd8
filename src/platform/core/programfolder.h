#pragma once

#include <QString>

namespace platform {

// The folder the running program's files live in. main() sets it to the executable's folder;
// tests set a temporary folder. The text never ends in a separator.
QString programFolder();
void setProgramFolder(const QString& folder);

// programFolder() + "/" + relative, with "\" in relative read as a separator.
QString programFile(const QString& relative);

}  // namespace platform
