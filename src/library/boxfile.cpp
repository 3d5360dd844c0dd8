#include "library/boxfile.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "library/base64.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "platform/core/ansi.h"
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

// The code page's bytes of the text readTextFile gives for the file: the file's own bytes
// with its lines ended when they are ASCII, as a script file's always are, else the text
// through the code page both ways.
QByteArray textFileBytes(const QString& path) {
    QByteArray bytes;
    if (!ScriptModule::detail::readFileBytes(path, bytes)) return {};
    bytes = ScriptModule::detail::terminateLines(bytes);
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return (c & 0x80) == 0; }))
        return bytes;
    return platform::toAnsi(platform::fromAnsi(bytes));
}

}  // namespace

bool writeBox(const QString& skinPath, const QString& scriptPath, const QString& boxPath) {
    using namespace BASE64Module::detail;
    // A box written over its own skin or script would destroy the file it was made from.
    if (sameFile(boxPath, skinPath) || sameFile(boxPath, scriptPath)) return false;
    const QByteArray skin = textFileBytes(skinPath);
    const QByteArray script = textFileBytes(scriptPath);

    // The inner text's bytes are the skin's line, ":" and the script file's bytes. The
    // script's are encoded where they lie, a piece at a time: the skin's line, ":" and the
    // first few bytes of the script make a whole number of groups ahead of them.
    QByteArray head((skin.size() + 2) / 3 * 4 + 1, Qt::Uninitialized);
    *encodeBytesTo(head.data(), skin, Alphabet::General) = ':';
    const qsizetype joined = std::min<qsizetype>((3 - head.size() % 3) % 3, script.size());
    head += QByteArrayView(script).first(joined);

    ScriptModule::detail::FileReplacement file(boxPath);
    constexpr qsizetype kPiece = 3 * 64 * 1024;
    QByteArray line(kPiece / 3 * 4 + 2, Qt::Uninitialized);
    auto put = [&](QByteArrayView bytes, bool last) {
        char* end = encodeBytesTo(line.data(), bytes, Alphabet::Box);
        if (last) {
            *end++ = '\r';
            *end++ = '\n';
        }
        return file.write(QByteArrayView(line.constData(), end));
    };
    // Every piece but the very last is a whole number of groups.
    auto putAll = [&](QByteArrayView bytes, bool lastOfAll) {
        for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
            const qsizetype n = std::min(kPiece, bytes.size() - at);
            if (!put(bytes.sliced(at, n), lastOfAll && at + n == bytes.size())) return false;
        }
        return true;
    };
    const QByteArrayView rest = QByteArrayView(script).sliced(joined);
    return putAll(head, rest.isEmpty()) && putAll(rest, true) && file.commit();
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
