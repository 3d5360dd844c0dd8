#include "library/scriptfunctions.h"

namespace ScriptModule {

QStringList listScriptFunctions(const QString& code) {
    QStringList calls;
    if (!scanScriptFunctions(code, calls)) return QStringList();
    return calls;
}

bool scanScriptFunctions(QStringView all, QStringList& calls) {
    static const QString kKeyword = QStringLiteral("function ");
    // Lines end at LF; a CR before it stays at the end of the line. Scanned in place: this
    // runs on every keystroke of the code editor.
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(QLatin1Char('\n'), start);
        if (end < 0) end = all.size();
        const QStringView line = all.mid(start, end - start);
        const qsizetype at = line.indexOf(kKeyword);
        if (at >= 0) {
            const QStringView rest = line.mid(at + kKeyword.size());
            const qsizetype brace = rest.indexOf(QLatin1Char('{'));
            if (brace < 0) return false;
            calls.append(rest.left(brace).toString() + QLatin1Char(';'));
        }
        start = end + 1;
    }
    return true;
}

}  // namespace ScriptModule
