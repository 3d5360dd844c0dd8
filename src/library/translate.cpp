#include "library/translate.h"

#include <QHash>
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

enum class Direction { En2Cn, Cn2En, None };

// Lines remembered per direction before the memory is started afresh.
constexpr qsizetype kMemoLimit = 65536;

// The pairs split once per distinct pair list, with the lines already translated under
// that list. Every keystroke in the explain view translates the whole script back, while
// only the line being typed in differs from the keystroke before; a line's translation
// depends on nothing but the line and the pairs.
struct SplitPairs {
    QStringList source;
    QList<Pair> pairs;
    QHash<QString, QString> memo[2];
};

SplitPairs& splitPairs() {
    static SplitPairs cache;
    const QStringList& lines = keywordPairs();
    if (cache.source != lines) {
        cache.source = lines;
        cache.pairs.clear();
        cache.memo[0].clear();
        cache.memo[1].clear();
        for (const QString& line : lines) {
            const QStringList parts = line.split(QLatin1Char('='));
            cache.pairs.append(Pair{parts.value(0), parts.value(1)});
        }
    }
    return cache;
}

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
    // Splitting on CR LF and putting CR LF after every piece is the text plus one CR LF.
    if (dir == Direction::None) return text + kLineEnd;
    QHash<QString, QString>& memo = splitPairs().memo[dir == Direction::En2Cn ? 0 : 1];
    if (memo.size() > kMemoLimit) memo.clear();
    QString out;
    out.reserve(text.size() + text.size() / 4 + 2);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(kLineEnd, start);
        const QString line = text.mid(start, (end < 0 ? text.size() : end) - start);
        auto it = memo.constFind(line);
        if (it == memo.cend()) it = memo.insert(line, applyPairs(line, dir));
        out += *it;
        out += kLineEnd;
        if (end < 0) break;
        start = end + kLineEnd.size();
    }
    return out;
}

}  // namespace TranslateModule
