#include "library/translate.h"

#include <QList>
#include <bitset>

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

// A line mostly holds none of the keywords, and the keywords of one side may all start with
// the same character. The line's characters and pairs of adjacent characters set bits of a
// small table, and a pair whose searched side starts with a character or two that left no
// bit is passed over without a search.
class LineSketch {
  public:
    explicit LineSketch(const QString& text) { add(text); }
    void add(const QString& text) {
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            bits_.set(single(text[i]));
            if (i + 1 < n) bits_.set(pair(text[i], text[i + 1]));
        }
    }
    bool mayHold(const QString& key) const {
        return bits_.test(key.size() >= 2 ? pair(key[0], key[1]) : single(key[0]));
    }

  private:
    static constexpr std::size_t kBits = 2048;
    static std::size_t single(QChar c) { return c.unicode() % kBits; }
    static std::size_t pair(QChar a, QChar b) {
        return (std::size_t(a.unicode()) * 65599u + b.unicode()) % kBits;
    }
    std::bitset<kBits> bits_;
};

// The pairs split once per distinct pair list: the editor translates a line at every key.
struct SplitPairs {
    QStringList source;
    QList<Pair> pairs;
};

SplitPairs& splitPairs() {
    static SplitPairs cache;
    const QStringList& lines = keywordPairs();
    if (cache.source != lines) {
        cache.source = lines;
        cache.pairs.clear();
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
    LineSketch sketch(text);
    for (const Pair& p : splitPairs().pairs) {
        const QString& from = dir == Direction::En2Cn ? p.en : p.cn;
        const QString& to = dir == Direction::En2Cn ? p.cn : p.en;
        if (from.isEmpty() || !sketch.mayHold(from)) continue;
        if (text.contains(from)) {
            text.replace(from, to);
            // The sketch only grows, so it still covers whatever the line holds now.
            sketch.add(text);
        }
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
    QString out;
    out.reserve(text.size() + text.size() / 4 + 2);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(kLineEnd, start);
        out += applyPairs(text.mid(start, (end < 0 ? text.size() : end) - start), dir);
        out += kLineEnd;
        if (end < 0) break;
        start = end + kLineEnd.size();
    }
    return out;
}

}  // namespace TranslateModule
