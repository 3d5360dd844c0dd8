#include "library/boxfile.h"

#include <QFileInfo>
#include <QStringList>

#include "library/base64.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "platform/core/programfolder.h"

namespace BoxFile {

QString boxLine(const QString& skinText, const QString& scriptFileText) {
    const QString inner = BASE64Module::base64Encode(skinText) + QLatin1Char(':') + scriptFileText;
    return BASE64BoxModule::boxBase64Encode(inner);
}

namespace {

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    return fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath();
}

}  // namespace

bool writeBox(const QString& skinPath, const QString& scriptPath, const QString& boxPath) {
    // A box written over its own skin or script would destroy the file it was made from.
    if (sameFile(boxPath, skinPath) || sameFile(boxPath, scriptPath)) return false;
    const QString skin = ScriptModule::readTextFile(skinPath);
    const QString script = ScriptModule::readTextFile(scriptPath);
    return ScriptModule::writeTextFile(boxPath, boxLine(skin, script));
}

BoxParts decodeBox(const QString& fileText) {
    BoxParts parts;
    const QStringList pieces = BASE64BoxModule::boxBase64Decode(fileText).split(QLatin1Char(':'));
    if (pieces.size() < 2) return parts;
    parts.separated = true;
    parts.skinText = BASE64Module::base64Decode(pieces.at(0));
    parts.scriptText = BASE64Module::base64Decode(pieces.at(1));
    return parts;
}

QString boxFilePath(const QString& boxName) {
    if (boxName.isEmpty() || boxName == QLatin1String(".") || boxName == QLatin1String("..") ||
        boxName.contains(QLatin1Char('/')) || boxName.contains(QChar(0)))
        return QString();
    return platform::programFolder() + QLatin1Char('/') + boxName;
}

}  // namespace BoxFile

namespace BoxScript {

void clearScriptDocument() {
    ScriptModule::clearScriptDocument();
}

bool parseScriptText(const QString& text) {
    clearScriptDocument();
    return ScriptModule::parseScriptXml(text, false);
}

bool openBox(const QString& boxName, QString& skinText, QString& scriptText) {
    const QString path = BoxFile::boxFilePath(boxName);
    const BoxFile::BoxParts parts =
        BoxFile::decodeBox(path.isEmpty() ? QString() : ScriptModule::readTextFile(path));
    skinText = parts.skinText;
    scriptText = parts.scriptText;
    if (!parts.separated) {
        clearScriptDocument();
        return false;
    }
    return parseScriptText(scriptText);
}

}  // namespace BoxScript
