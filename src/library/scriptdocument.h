#pragma once

#include <QString>
#include <QStringList>

#include "library/xmldocument.h"

// The workbench's current script: one record for the whole run, read and written directly by
// the windows that show, edit, debug and share it.
struct ScriptDocument {
    QString currentScriptPath;  // file the record came from; empty for a new script
    QString encoding;           // character set chosen in the script window; not stored in files
    QString name;
    QString home;
    QString information;
    QString author;
    QString icon;
    QString toolPop;
    QString script;
    XmlNode list;  // the board element (keeps its document alive), or null
    QStringList include;
    QStringList target;
};

namespace ScriptModule {

ScriptDocument& scriptDocument();

// Empties the content fields, include among them; encoding and currentScriptPath stay.
void clearScriptDocument();

// Why a load found no script.
enum class LoadFailure {
    None,
    Missing,     // no file at the path
    Unreadable,  // a file that cannot be read (no access, no regular file, far too large)
    NotAScript,  // read, but no script file
};

// Replaces the record's content by the script stored at path; a file that cannot be read or
// parsed leaves the record cleared. Shows nothing; returns whether a script was loaded, and
// why tells the reason when not.
bool loadScriptFile(const QString& path, LoadFailure* why = nullptr);

// Fills the record from the decoded XML text of a script file: the text is cut after
// "</Tolvar>" and parsed; include is read only when asked (the player has none). Returns false,
// leaving the record as it was, when the end tag is missing or the text is not well-formed.
// The caller clears the record first.
bool parseScriptXml(const QString& decoded, bool readInclude);
bool parseScriptXml(ScriptDocument& record, const QString& decoded, bool readInclude);

// Reads the script stored at path into a record of the caller's, leaving the current script
// alone. False when the file cannot be read or parsed.
bool readScriptFile(const QString& path, ScriptDocument& record);

// The XML text a script file holds, before encoding (exposed for the box maker and tests).
QString scriptXmlText(const ScriptDocument& doc);

// Why a save wrote nothing.
enum class SaveFailure {
    None,
    // The script would not load again as it is: for instance a board element or attribute
    // name the code page cannot hold.
    Content,
    // The file could not be written, flushed or closed.
    Write,
};

// Writes the record as a script file at path. A script that is saved loads again with the
// same content, as far as the file format carries it: leading and trailing blanks and line
// ends of a value are dropped, line ends inside come back as LF, characters the code page
// lacks as "?", and control characters, which XML cannot hold, are left out. A script that
// would not come back is not written. Returns whether the file was written; on failure the
// old file stays whole and why tells the reason.
bool saveScriptFile(const QString& path, SaveFailure* why = nullptr);

// The text a value of the record reads back as after a save and a load (see above).
QString valueAsReadBack(const QString& value);

namespace detail {

// Whether the record, written out whole and read in again, gives back the record as saved.
bool loadsBackWhole(const ScriptDocument& record);

// The record a save tries instead of the whole one, with the same answer: text values that
// cannot fail to come back are left empty, so a long code costs nothing to try.
ScriptDocument trialRecord(const ScriptDocument& record);

}  // namespace detail

}  // namespace ScriptModule
