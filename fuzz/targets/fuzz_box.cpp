// Box opening on any box file. An input holding a NUL is taken as skin text NUL script XML
// text instead, made into a box the way the box maker does; opening it must give the skin
// text back and parse the script as the player's parser does on its own. The same two
// parts, as the bytes of a skin file and a script file, must make the box that the two
// files' texts make.

#include "fuzzsupport.h"
#include "library/base64.h"
#include "library/boxfile.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const QByteArray input = fuzz::bytes(data, size);
    const QString path = fuzz::scratchFile(QStringLiteral("box.tvb"));
    QString skin, script;
    if (!input.contains('\0')) {
        fuzz::writeFile(path, input);
        (void)BoxScript::openBox(QStringLiteral("box.tvb"), skin, script);
        return 0;
    }
    const QList<QByteArray> parts = fuzz::split(input, 2);
    const QString skinFile = fuzz::scratchFile(QStringLiteral("s.skin"));
    const QString scriptFile = fuzz::scratchFile(QStringLiteral("s.txt"));
    fuzz::writeFile(skinFile, parts[0]);
    fuzz::writeFile(scriptFile, parts[1]);
    if (!BoxFile::writeBox(skinFile, scriptFile, path)) fuzz::fail("the box was not written");
    QFile box(path);
    if (!box.open(QIODevice::ReadOnly) ||
        box.readAll() !=
            platform::toAnsi(BoxFile::boxLine(ScriptModule::readTextFile(skinFile),
                                              ScriptModule::readTextFile(scriptFile))) +
                "\r\n")
        fuzz::fail("the box differs from the one its files' texts make");
    box.close();
    const QString skinText = platform::fromAnsi(parts[0]);
    const QString scriptLine =
        BASE64Module::detail::encodeBytes(parts[1], BASE64Module::detail::Alphabet::General);
    fuzz::writeFile(path, platform::toAnsi(BoxFile::boxLine(skinText, scriptLine)) + "\r\n");
    const bool opened = BoxScript::openBox(QStringLiteral("box.tvb"), skin, script);
    if (skin != platform::fromAnsi(platform::toAnsi(skinText))) fuzz::fail("skin text changed");
    if (script != platform::fromAnsi(parts[1])) fuzz::fail("script text changed");
    const QString name = ScriptModule::scriptDocument().name;
    if (opened != BoxScript::parseScriptText(script) || ScriptModule::scriptDocument().name != name)
        fuzz::fail("opening and parsing disagree");
    return 0;
}
