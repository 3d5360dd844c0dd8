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

// Empties the content fields; encoding, include and currentScriptPath stay.
void clearScriptDocument();

// Replaces the record's content by the script stored at path; a file that cannot be read or
// parsed leaves the record cleared. Reports nothing.
void loadScriptFile(const QString& path);

// Fills the record from the decoded XML text of a script file: the text is cut after
// "</Tolvar>" and parsed; include is read only when asked (the player has none). Returns false,
// leaving the record as it was, when the end tag is missing or the text is not well-formed.
// The caller clears the record first.
bool parseScriptXml(const QString& decoded, bool readInclude);

// The XML text a script file holds, before encoding (exposed for the box maker and tests).
QString scriptXmlText(const ScriptDocument& doc);

// Writes the record as a script file at path. Returns whether the file was written; a failed
// write leaves the old file whole.
bool saveScriptFile(const QString& path);

}  // namespace ScriptModule
