#pragma once

#include <QString>
#include <QStringList>

namespace ScriptModule {

// One call statement per function header of the code, in line order: the text after the
// first "function " of a line, cut before the next "{", with ";" appended. A line that holds
// "function " without a "{" after it makes the whole list empty.
QStringList listScriptFunctions(const QString& code);

}  // namespace ScriptModule
