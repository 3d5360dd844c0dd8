#pragma once

#include <QString>

// Plain-text INI access: "[section]" header lines and key=value lines, no comments, quoting
// or trimming. Section and key match without regard to letter case. A missing file is
// created empty; folders are never created.

namespace INIread {

// The value of the first key line of the section, as stored; empty when there is none.
QString readIniValue(const QString& file, const QString& section, const QString& key);

}  // namespace INIread

namespace INIwrite {

// Stores key=value in the section (replacing the key's line or adding one) and rewrites the
// whole file tidied: no empty lines at either end, at most one empty line in a row, one
// final CR LF. A failed rewrite leaves the old file whole.
void writeIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value);

}  // namespace INIwrite
