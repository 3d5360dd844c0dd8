#pragma once

#include <QString>

// A box file (".tvb") carries one script with the skin the player shows it in. It is one
// line of box-alphabet base64, then CR LF, over the inner text
//     general-alphabet base64 of the skin text, ":", the stored script file's text
// where both texts are what readTextFile gives for their files (every line followed by
// CR LF). Neither alphabet holds ":", so the first ":" is the separator. The script part is
// the script file's own line, taken as stored.
namespace BoxFile {

// The line a box file holds (without its final CR LF).
QString boxLine(const QString& skinText, const QString& scriptFileText);

// Builds the box from the two files and writes it to boxPath, replacing any file there.
// An unreadable skin or script file only leaves its part empty; false when the box file
// could not be written, or when boxPath names the skin or script file itself (which is left
// as it was). The paths are used as given.
bool writeBox(const QString& skinPath, const QString& scriptPath, const QString& boxPath);

// A box taken apart: the skin text and the script XML text.
struct BoxParts {
    bool separated = false;  // the decoded box held the ":" separator
    QString skinText;
    QString scriptText;
};

// Undoes both base64 layers of a box file's text and splits it. A text without the
// separator gives empty parts and separated false.
BoxParts decodeBox(const QString& fileText);

// The file a box of the player's list lives in: the program folder and the name. Empty for a
// name that would leave the program folder or name no file in it (empty, ".", "..", or holding
// "/" or a NUL character), so a name taken from the settings cannot reach outside the program
// folder. Any other character, "\" included, is a file name's own.
QString boxFilePath(const QString& boxName);

}  // namespace BoxFile

// The player's reading of a box. Its script record is the process's ScriptDocument; the
// player keeps no include list in it.
namespace BoxScript {

// Empties the record as the script loader does, the include list too; encoding stays.
void clearScriptDocument();

// Clears the record and fills it from a script's XML text as the script-file loader does
// from its decoded text: cut after the first "</Tolvar>" and one character, then encoding,
// the base fields, target, script and list. The include element is not read. False when the
// text lacks "</Tolvar>" or is not well-formed; the record then stays cleared.
bool parseScriptText(const QString& text);

// Opens the box named boxName in the program folder: skinText and scriptText receive the
// two parts and the record is parsed from the script part, all three replaced as a whole.
// A box that cannot be opened (unsafe name, missing or empty file, no separator) leaves
// both texts empty and the record cleared, so nothing of the box shown before lingers; the
// result says whether the box was opened and its script parsed.
bool openBox(const QString& boxName, QString& skinText, QString& scriptText);

}  // namespace BoxScript
