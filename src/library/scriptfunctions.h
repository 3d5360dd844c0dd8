#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace ScriptModule {

// One call statement per function header of the code, in line order: the text after the
// first "function " of a line, cut before the next "{", with ";" appended. A line that holds
// "function " without a "{" after it makes the whole list empty.
QStringList listScriptFunctions(const QString& code);

// The same scan over one piece of a code whose pieces are cut at line ends: appends the
// piece's calls to calls and returns false when one of its headers has no "{" (the list of
// the whole code is then empty).
bool scanScriptFunctions(QStringView code, QStringList& calls);

}  // namespace ScriptModule
