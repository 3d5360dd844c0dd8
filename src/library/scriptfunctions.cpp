#include "library/scriptfunctions.h"

#include <algorithm>

namespace ScriptModule {

QStringList listScriptFunctions(const QString& code) {
    QStringList calls;
    if (!scanScriptFunctions(code, calls)) return QStringList();
    return calls;
}

namespace {

constexpr char16_t kKeyword[] = u"function ";
constexpr qsizetype kKeywordSize = 9;

// Where "function " first begins in [p, end), or end. A plain search: the editor scans each
// line it touches, and most lines are short.
const char16_t* findKeyword(const char16_t* p, const char16_t* end) {
    for (; end - p >= kKeywordSize; ++p) {
        p = std::find(p, end - (kKeywordSize - 1), kKeyword[0]);
        if (end - p < kKeywordSize) break;
        if (std::equal(kKeyword + 1, kKeyword + kKeywordSize, p + 1)) return p;
    }
    return end;
}

}  // namespace

bool scanScriptFunctions(QStringView all, QStringList& calls) {
    // Lines end at LF; a CR before it stays at the end of the line. Scanned in place: this
    // runs on every keystroke of the code editor.
    const char16_t* p = reinterpret_cast<const char16_t*>(all.utf16());
    const char16_t* const end = p + all.size();
    while (p != end) {
        const char16_t* const lineEnd = std::find(p, end, u'\n');
        const char16_t* const at = findKeyword(p, lineEnd);
        if (at != lineEnd) {
            const char16_t* const rest = at + kKeywordSize;
            const char16_t* const brace = std::find(rest, lineEnd, u'{');
            if (brace == lineEnd) return false;
            QString call(brace - rest + 1, Qt::Uninitialized);
            std::copy(rest, brace, reinterpret_cast<char16_t*>(call.data()));
            call[call.size() - 1] = QLatin1Char(';');
            calls.append(std::move(call));
        }
        if (lineEnd == end) break;
        p = lineEnd + 1;
    }
    return true;
}

}  // namespace ScriptModule
