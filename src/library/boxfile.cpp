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
        boxName.contains(QLatin1Char('/')) || boxName.contains(QLatin1Char('\\')))
        return QString();
    return platform::programFolder() + QLatin1Char('/') + boxName;
}

}  // namespace BoxFile

namespace BoxScript {

void clearScriptDocument() {
    ScriptModule::clearScriptDocument();
    ScriptModule::scriptDocument().include = QStringList();
}

bool parseScriptText(const QString& text) {
    XmlDocument xml;
    clearScriptDocument();
    ScriptDocument& d = ScriptModule::scriptDocument();

    const QString endTag = QStringLiteral("</Tolvar>");
    const qsizetype at = text.indexOf(endTag);
    if (at < 0) return false;
    if (!xml.loadXML(text.left(at + endTag.size() + 1))) return false;

    const XmlNode first = xml.firstChild();
    if (first.nodeType() == XmlNode::Type::Declaration ||
        first.nodeType() == XmlNode::Type::Element) {
        const XmlNode enc = first.getNamedItem(QStringLiteral("encoding"));
        if (!enc.isNull()) d.encoding = enc.nodeTypedValue();
    }

    // As the script loader: a missing part reads as empty rather than losing the rest.
    const XmlNode base = xml.getElementsByTagName(QStringLiteral("base")).item(0);
    if (!base.isNull()) {
        const XmlNodeList children = base.childNodes();
        for (int i = 0; i < children.length(); ++i) {
            const XmlNode child = children.item(i);
            const QString n = child.nodeName();
            if (n == QLatin1String("name"))
                d.name = child.text();
            else if (n == QLatin1String("home"))
                d.home = child.text();
            else if (n == QLatin1String("information"))
                d.information = child.text();
            else if (n == QLatin1String("author"))
                d.author = child.text();
            else if (n == QLatin1String("icon"))
                d.icon = child.text();
            else if (n == QLatin1String("toolPop"))
                d.toolPop = child.text();
        }
    }

    QStringList target;
    const XmlNode targetNode = xml.getElementsByTagName(QStringLiteral("target")).item(0);
    if (!targetNode.isNull()) {
        const XmlNodeList children = targetNode.childNodes();
        for (int i = 0; i < children.length(); ++i) target << children.item(i).text();
    }
    d.target = target;
    d.script = xml.getElementsByTagName(QStringLiteral("script")).item(0).text();
    d.list = xml.getElementsByTagName(QStringLiteral("list")).item(0);
    return true;
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
