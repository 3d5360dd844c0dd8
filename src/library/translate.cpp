#include "library/translate.h"

#include <QList>

#include "library/textfile.h"
#include "platform/core/programfolder.h"

namespace TranslateModule {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

struct Pair {
    QString cn;
    QString en;
};

// The pairs split once per distinct pair list: every keystroke in the explain view
// translates the whole script, and splitting each pair line again for each line of it
// would dominate that cost.
struct SplitPairs {
    QStringList source;
    QList<Pair> pairs;
    bool anyLineBreak = false;  // a keyword holding CR or LF (only possible in odd files)
};

const SplitPairs& splitPairs() {
    static SplitPairs cache;
    const QStringList& lines = keywordPairs();
    if (cache.source != lines) {
        cache.source = lines;
        cache.pairs.clear();
        cache.anyLineBreak = false;
        for (const QString& line : lines) {
            const QStringList parts = line.split(QLatin1Char('='));
            Pair p{parts.value(0), parts.value(1)};
            auto hasBreak = [](const QString& s) {
                return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
            };
            if (hasBreak(p.cn) || hasBreak(p.en)) cache.anyLineBreak = true;
            cache.pairs.append(p);
        }
    }
    return cache;
}

enum class Direction { En2Cn, Cn2En, None };

// Applies the pairs one after another in file order; each replaces every occurrence of
// its searched side, inside words included.
QString applyPairs(QString text, Direction dir) {
    if (dir == Direction::None) return text;
    for (const Pair& p : splitPairs().pairs) {
        const QString& from = dir == Direction::En2Cn ? p.en : p.cn;
        const QString& to = dir == Direction::En2Cn ? p.cn : p.en;
        if (from.isEmpty()) continue;
        if (text.contains(from)) text.replace(from, to);
    }
    return text;
}

}  // namespace

QStringList& keywordPairs() {
    static QStringList pairs;
    return pairs;
}

void loadKeywords() {
    const QString text = ScriptModule::readTextFile(platform::programFile("keyword.db"));
    QStringList pairs;
    for (const QString& line : text.split(kLineEnd))
        if (line.contains(QLatin1Char('='))) pairs.append(line);
    keywordPairs() = pairs;
}

QString translateLineEn2Cn(const QString& line) {
    return applyPairs(line, Direction::En2Cn);
}

QString translateLineCn2En(const QString& line) {
    return applyPairs(line, Direction::Cn2En);
}

QString translateScript(const QString& text, const QString& direction) {
    if (text.isEmpty()) return QString();
    const Direction dir = direction == QLatin1String("en2cn")   ? Direction::En2Cn
                          : direction == QLatin1String("cn2en") ? Direction::Cn2En
                                                                : Direction::None;
    // When no keyword holds a line-break character, no match can reach across a CR LF and
    // no replacement can make or break one, so translating the whole text at once gives
    // exactly the line-by-line result, at a fraction of the cost for long scripts.
    if (!splitPairs().anyLineBreak) return applyPairs(text, dir) + kLineEnd;
    QString out;
    out.reserve(text.size() + text.size() / 8 + 2);
    for (const QString& line : text.split(kLineEnd)) {
        out += applyPairs(line, dir);
        out += kLineEnd;
    }
    return out;
}

}  // namespace TranslateModule
