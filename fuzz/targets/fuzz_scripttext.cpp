// The player's script-text parser on any text, with the board of the parsed script rendered.

#include "fuzzsupport.h"
#include "library/board.h"
#include "library/boxfile.h"
#include "library/scriptdocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    const bool parsed = BoxScript::parseScriptText(text);
    const ScriptDocument& d = ScriptModule::scriptDocument();
    if (!parsed &&
        (!d.name.isEmpty() || !d.script.isEmpty() || !d.target.isEmpty() || !d.list.isNull()))
        fuzz::fail("a failed parse left fields filled");
    return 0;
}
