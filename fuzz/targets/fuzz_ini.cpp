// INI reading on any file, and writing: input = file NUL section NUL key NUL value. The file
// written is the one the writer's steps, spelled out apart from it, give. After
// writeIniValue the reader finds the value written, whenever section, key and value are
// plain: no control characters, no "[" in key or value (such a line ends a section), a
// section without "]", and only characters the ANSI code page carries.

#include "../../tests/support/inimodel.h"
#include "fuzzsupport.h"
#include "library/ini.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"

namespace {

bool plain(const QString& s, bool bracketsAllowed) {
    for (QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
        if (!bracketsAllowed && (c == u'[' || c == u']')) return false;
    }
    return platform::fromAnsi(platform::toAnsi(s)) == s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    const QList<QByteArray> parts = fuzz::split(fuzz::bytes(data, size), 4);
    const QString file = fuzz::scratchFile(QStringLiteral("config.ini"));
    fuzz::writeFile(file, parts[0]);
    const QString section = platform::fromAnsi(parts[1]);
    const QString key = platform::fromAnsi(parts[2]);
    const QString value = platform::fromAnsi(parts[3]);
    (void)INIread::readIniValue(file, section, key);
    const QByteArray expected =
        IniModel::written(ScriptModule::readTextFile(file), section, key, value);
    INIwrite::writeIniValue(file, section, key, value);
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly)) std::abort();
    if (written.readAll() != expected)
        fuzz::fail("the file written is not the one of the writer's steps",
                   QString::fromLatin1(expected.toPercentEncoding()));
    const QString back = INIread::readIniValue(file, section, key);
    if (plain(section, false) && !key.isEmpty() && plain(key, false) && plain(value, false) &&
        key.toLower().size() == key.size() && section.toLower().size() == section.size() &&
        back != value)
        fuzz::fail("the value written does not read back", back + QStringLiteral(" != ") + value);
    return 0;
}
