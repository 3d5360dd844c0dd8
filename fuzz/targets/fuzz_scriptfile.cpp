// Script files: the input is the XML text (ANSI bytes) that a script file's line encodes. It
// is stored as a script file and loaded; when the loaded script is saved, loading the saved
// file must give the same record back, each value as the format carries it (valueAsReadBack),
// and a second save and load must change nothing at all, the board included. The save's own
// trial must answer as writing the whole record and reading it back does.

#include "fuzzsupport.h"
#include "library/base64.h"
#include "library/scriptdocument.h"

namespace {

struct Snapshot {
    QString name, home, information, author, icon, toolPop, script, list;
    QStringList include, target;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot() {
    const ScriptDocument& d = ScriptModule::scriptDocument();
    return Snapshot{d.name,    d.home,    d.information, d.author,
                    d.icon,    d.toolPop, d.script,      d.list.isNull() ? QString() : d.list.xml(),
                    d.include, d.target};
}

QString describe(const Snapshot& s) {
    return QStringList{
        s.name,   s.home, s.information,        s.author,           s.icon, s.toolPop,
        s.script, s.list, s.include.join(u'|'), s.target.join(u'|')}
        .join(QStringLiteral("\n--\n"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const QByteArray xml = fuzz::bytes(data, size);
    const QString first = fuzz::scratchFile(QStringLiteral("first.txt"));
    const QString saved = fuzz::scratchFile(QStringLiteral("saved.txt"));
    const QString line =
        BASE64Module::detail::encodeBytes(xml, BASE64Module::detail::Alphabet::General);
    fuzz::writeFile(first, line.toLatin1() + "\r\n");

    ScriptDocument& d = ScriptModule::scriptDocument();
    d.include.clear();
    ScriptModule::loadScriptFile(first);
    const Snapshot loaded = snapshot();
    // A script without a board is saved with an empty one, which loads as a board.
    if (d.list.isNull()) return 0;
    if (ScriptModule::detail::loadsBackWhole(ScriptModule::detail::trialRecord(d)) !=
        ScriptModule::detail::loadsBackWhole(d))
        fuzz::fail("the save's trial and the whole file disagree", describe(loaded));
    if (!ScriptModule::saveScriptFile(saved)) return 0;  // a refused save is no fault
    d.include.clear();
    ScriptModule::loadScriptFile(saved);
    const Snapshot back = snapshot();
    Snapshot expected = loaded;
    for (QString* v : {&expected.name, &expected.home, &expected.information, &expected.author,
                       &expected.icon, &expected.toolPop, &expected.script})
        *v = ScriptModule::valueAsReadBack(*v);
    for (QStringList* l : {&expected.include, &expected.target})
        for (QString& v : *l) v = ScriptModule::valueAsReadBack(v);
    expected.list = back.list;
    if (!(back == expected))
        fuzz::fail("a saved script loads back different",
                   describe(expected) + QStringLiteral("\n======\n") + describe(back));
    if (!ScriptModule::saveScriptFile(saved)) fuzz::fail("a loaded saved script cannot be saved");
    d.include.clear();
    ScriptModule::loadScriptFile(saved);
    if (!(snapshot() == back))
        fuzz::fail("a second save and load changed the script",
                   describe(back) + QStringLiteral("\n======\n") + describe(snapshot()));
    return 0;
}
