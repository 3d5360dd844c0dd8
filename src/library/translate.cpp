#include "library/translate.h"

#include <QList>
#include <algorithm>
#include <bit>
#include <map>
#include <vector>

#include "library/textfile.h"
#include "platform/core/programfolder.h"

namespace TranslateModule {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

enum class Direction { En2Cn, Cn2En };

// Pair numbers, one bit each.
class PairSet {
  public:
    void reset(qsizetype pairs) { words_.assign(std::size_t((pairs + 63) / 64), 0); }
    void add(int pair) { words_[std::size_t(pair) / 64] |= quint64(1) << (pair % 64); }
    // The first pair in the set at or after from, or -1.
    int next(int from) const {
        std::size_t w = std::size_t(from) / 64;
        if (w >= words_.size()) return -1;
        quint64 bits = words_[w] & (~quint64(0) << (from % 64));
        for (;;) {
            if (bits) return int(w * 64) + std::countr_zero(bits);
            if (++w == words_.size()) return -1;
            bits = words_[w];
        }
    }

  private:
    std::vector<quint64> words_;
};

// Where a key ends in a text: the pair it belongs to and the position after its last
// character.
struct Hit {
    int pair;
    qsizetype end;
};

// Finds, in one pass over a text, every place where a key ends: an automaton whose state is
// the longest end of the text read so far that begins some key (Aho-Corasick), laid out as a
// table of next states by state and character class. Characters that no key holds share
// class 0, which always leads back to the start.
class KeyFinder {
  public:
    // keys[i] is the searched side of pair i; an empty key is never found.
    explicit KeyFinder(const QStringList& keys);

    // False for keys too many or too varied for the table; the caller then searches for
    // each key on its own.
    bool usable() const { return !next_.empty(); }

    // Adds to found every pair numbered above `above` whose key occurs in text.
    void find(QStringView text, int above, PairSet& found) const {
        scan(text, [&](int pair, qsizetype) {
            if (pair > above) found.add(pair);
        });
    }
    // Every key's every occurrence, overlapping ones included, in the order of their ends.
    void collect(QStringView text, std::vector<Hit>& hits) const {
        scan(text, [&](int pair, qsizetype end) { hits.push_back(Hit{pair, end}); });
    }

  private:
    // An entry is the row of the next state (its number times the class count), with a
    // flag for states at which a key ends.
    static constexpr quint32 kHasKeys = 0x80000000u;
    static constexpr quint32 kRowMask = 0x7FFFFFFFu;
    // The table's limit: far above any keyword list the program ships.
    static constexpr std::size_t kMostEntries = std::size_t(1) << 21;

    template <typename OnKey>
    void scan(QStringView text, OnKey&& onKey) const {
        const char16_t* const begin = text.utf16();
        const char16_t* const end = begin + text.size();
        const quint32* const next = next_.data();
        const quint16* const classes = classes_.data();
        quint32 row = 0;
        for (const char16_t* p = begin; p != end; ++p) {
            // Keys that all begin with one character (the Chinese side's bracket) let the
            // text between them be passed over as fast as that character can be looked for.
            if (row == 0 && leader_) {
                p = std::find(p, end, leader_);
                if (p == end) return;
            }
            const quint32 entry = next[row + classes[*p]];
            row = entry & kRowMask;
            if (entry & kHasKeys) {
                // The keys ending here: the state's own, then those of the shorter ends of
                // the text that are keys too.
                for (unsigned s = row / classCount_; s != 0; s = keyLink_[s])
                    for (int i = keyStart_[s]; i < keyStart_[s + 1]; ++i)
                        onKey(pairs_[std::size_t(i)], p + 1 - begin);
            }
        }
    }

    std::vector<quint16> classes_;  // by UTF-16 unit
    unsigned classCount_ = 1;
    std::vector<quint32> next_;  // by state * classCount_ + class
    std::vector<unsigned> keyLink_;
    std::vector<int> keyStart_;  // the pairs whose key ends at state s: keyStart_[s] ..
    std::vector<int> pairs_;
    char16_t leader_ = 0;  // the first character of every key, when they share it
};

KeyFinder::KeyFinder(const QStringList& keys) {
    classes_.assign(0x10000, 0);
    for (const QString& key : keys)
        for (QChar c : key)
            if (classes_[c.unicode()] == 0) {
                if (classCount_ == 0xFFFF) return;
                classes_[c.unicode()] = quint16(classCount_++);
            }

    bool oneLeader = true;
    for (const QString& key : keys) {
        if (key.isEmpty()) continue;
        if (leader_ == 0) leader_ = key[0].unicode();
        oneLeader = oneLeader && key[0].unicode() == leader_;
    }
    if (!oneLeader) leader_ = 0;

    // The keys as a tree of their beginnings, state 0 the empty one.
    std::vector<std::map<quint16, unsigned>> children(1);
    std::vector<std::vector<int>> ending(1);
    for (int pair = 0; pair < keys.size(); ++pair) {
        const QString& key = keys[pair];
        if (key.isEmpty()) continue;
        unsigned s = 0;
        for (QChar c : key) {
            const quint16 cls = classes_[c.unicode()];
            auto it = children[s].find(cls);
            if (it == children[s].end()) {
                if ((children.size() + 1) * classCount_ > kMostEntries) return;
                it = children[s].emplace(cls, unsigned(children.size())).first;
                children.emplace_back();
                ending.emplace_back();
            }
            s = it->second;
        }
        ending[s].push_back(pair);
    }

    // Breadth first, so that the state a failed match falls back to is complete before the
    // states that fall back to it.
    const std::size_t states = children.size();
    std::vector<quint32> next(states * classCount_, 0);
    std::vector<unsigned> fallback(states, 0);
    keyLink_.assign(states, 0);
    std::vector<unsigned> order{0};
    for (std::size_t at = 0; at < order.size(); ++at) {
        const unsigned s = order[at];
        for (unsigned cls = 0; cls < classCount_; ++cls) {
            const auto child = children[s].find(quint16(cls));
            const unsigned via = s == 0 ? 0 : next[fallback[s] * classCount_ + cls];
            if (child == children[s].end()) {
                next[s * classCount_ + cls] = via;
                continue;
            }
            const unsigned t = child->second;
            fallback[t] = via;
            keyLink_[t] = ending[via].empty() ? keyLink_[via] : via;
            next[s * classCount_ + cls] = t;
            order.push_back(t);
        }
    }
    keyStart_.assign(states + 1, 0);
    for (std::size_t s = 0; s < states; ++s) {
        keyStart_[s] = int(pairs_.size());
        pairs_.insert(pairs_.end(), ending[s].begin(), ending[s].end());
    }
    keyStart_[states] = int(pairs_.size());
    for (quint32& entry : next)
        entry =
            entry * classCount_ | (!ending[entry].empty() || keyLink_[entry] != 0 ? kHasKeys : 0);
    next_ = std::move(next);
}

// One direction of the pair list: what is searched for, what takes its place.
struct Side {
    QStringList from;
    QStringList to;
    KeyFinder finder;
    // How far before and after the text a pair puts in a later pair's key may begin or end
    // (a key's length less one), or -1 when the replacement can make no later key appear.
    // A key that was not in the text before holds some of what was put in, or, where
    // nothing was put in, spans the join of the texts on either side.
    std::vector<qsizetype> reach;

    Side(QStringList searched, QStringList put)
        : from(std::move(searched)), to(std::move(put)), finder(from) {
        reach.assign(std::size_t(from.size()), -1);
        // Beyond this many pairs every later key is taken to be one a replacement may make.
        constexpr qsizetype kMostCompared = 1000;
        for (qsizetype k = 0; k < from.size(); ++k) {
            qsizetype& r = reach[std::size_t(k)];
            for (qsizetype j = k + 1; j < from.size(); ++j) {
                const QString& key = from[j];
                if (key.size() - 1 <= r) continue;
                const bool made = from.size() > kMostCompared ? !key.isEmpty()
                                  : to[k].isEmpty()           ? key.size() >= 2
                                                              : overlaps(key, to[k]);
                if (made) r = key.size() - 1;
            }
        }
    }

    // Whether key, laid over text at some offset, agrees with it wherever the two meet.
    static bool overlaps(QStringView key, QStringView text) {
        for (qsizetype d = 1 - key.size(); d < text.size(); ++d) {
            const qsizetype first = std::max<qsizetype>(0, -d);
            const qsizetype last = std::min(key.size(), text.size() - d);
            bool agree = true;
            for (qsizetype i = first; agree && i < last; ++i) agree = key[i] == text[i + d];
            if (agree) return true;
        }
        return false;
    }
};

// The pairs split and their automatons built once per distinct pair list: the editor
// translates a line at every key.
struct SplitPairs {
    QStringList source;
    Side en2cn{{}, {}};
    Side cn2en{{}, {}};
};

const Side& side(Direction dir) {
    static SplitPairs cache;
    const QStringList& lines = keywordPairs();
    if (cache.source != lines) {
        QStringList cn, en;
        for (const QString& line : lines) {
            const QStringList parts = line.split(QLatin1Char('='));
            cn.append(parts.value(0));
            en.append(parts.value(1));
        }
        cache.source = lines;
        cache.en2cn = Side(en, cn);
        cache.cn2en = Side(cn, en);
    }
    return dir == Direction::En2Cn ? cache.en2cn : cache.cn2en;
}

// A text written at its end through a pointer, for the many small pieces of a translation:
// room is made in large steps and the text is cut to what was written at the end.
class Output {
  public:
    explicit Output(QString& text) : text_(text), size_(text.size()) {}
    ~Output() { text_.truncate(size_); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Room for n more characters; done() takes the end of what was written there.
    char16_t* room(qsizetype n) {
        if (size_ + n > text_.size())
            text_.resize(std::max({size_ + n, text_.capacity(), 2 * text_.size()}));
        return reinterpret_cast<char16_t*>(text_.data()) + size_;
    }
    void done(const char16_t* end) {
        size_ = end - reinterpret_cast<const char16_t*>(text_.constData());
    }
    void put(QStringView piece) {
        const char16_t* p = reinterpret_cast<const char16_t*>(piece.utf16());
        done(std::copy(p, p + piece.size(), room(piece.size())));
    }

  private:
    QString& text_;
    qsizetype size_;
};

// The pairs applied one after another in file order, each replacing every occurrence of its
// searched side (inside words included), so that a later pair also sees what earlier ones
// put in. Only pairs whose key occurs are looked at: the line is searched for all keys at
// once, and after a pair has replaced its key only the stretches around what it put in can
// hold a key that was not there before.
class LineTranslator {
  public:
    void append(Output& out, QStringView line, const Side& side) {
        if (!side.finder.usable()) {
            QString text = line.toString();
            for (qsizetype i = 0; i < side.from.size(); ++i)
                if (!side.from[i].isEmpty() && text.contains(side.from[i]))
                    text.replace(side.from[i], side.to[i]);
            out.put(text);
            return;
        }
        hits_.clear();
        side.finder.collect(line, hits_);
        if (hits_.empty()) {
            out.put(line);
            return;
        }
        if (std::all_of(hits_.begin(), hits_.end(),
                        [&](const Hit& h) { return side.reach[std::size_t(h.pair)] < 0; })) {
            appendAtOnce(out, line, side);
            return;
        }
        found_.reset(side.from.size());
        for (const Hit& h : hits_) found_.add(h.pair);
        text_.resize(0);
        text_ += line;
        for (int pair = found_.next(0); pair >= 0; pair = found_.next(pair + 1))
            replace(side, pair);
        out.put(text_);
    }

  private:
    // When no pair that occurs can make a key appear, each pair replaces those of its
    // key's places that no earlier pair has taken, from left to right as a replacement
    // finds them; what was put in can hold no later key. So every replacement is known from
    // the places found in the line as it was, and the line is built once.
    void appendAtOnce(Output& out, QStringView line, const Side& side) {
        // Places that do not overlap (the common case) are all replaced; otherwise pair by
        // pair, each pair's places from left to right, those left that no earlier pair took.
        qsizetype size = line.size();
        bool apart = true;
        qsizetype lastEnd = 0;
        for (const Hit& h : hits_) {
            const qsizetype start = h.end - side.from[h.pair].size();
            apart = apart && start >= lastEnd;
            lastEnd = h.end;
            size += side.to[h.pair].size() - side.from[h.pair].size();
        }
        if (!apart) size = choose(line, side);
        const std::vector<Hit>& chosen = apart ? hits_ : chosen_;

        char16_t* o = out.room(size);
        const char16_t* in = reinterpret_cast<const char16_t*>(line.utf16());
        qsizetype done = 0;
        for (const Hit& h : chosen) {
            const qsizetype start = h.end - side.from[h.pair].size();
            o = std::copy(in + done, in + start, o);
            const QString& to = side.to[h.pair];
            o = std::copy_n(reinterpret_cast<const char16_t*>(to.utf16()), to.size(), o);
            done = h.end;
        }
        out.done(std::copy(in + done, in + line.size(), o));
    }

    // Fills chosen_ with the places replaced, in the line's order; returns the line's new
    // length.
    qsizetype choose(QStringView line, const Side& side) {
        std::sort(hits_.begin(), hits_.end(), [](const Hit& a, const Hit& b) {
            return a.pair != b.pair ? a.pair < b.pair : a.end < b.end;
        });
        taken_.assign(std::size_t(line.size()), 0);
        chosen_.clear();
        qsizetype size = line.size();
        for (const Hit& h : hits_) {
            // A place that overlaps one taken, by this pair or an earlier one, is gone.
            const qsizetype start = h.end - side.from[h.pair].size();
            if (std::any_of(taken_.begin() + start, taken_.begin() + h.end,
                            [](char t) { return t != 0; }))
                continue;
            std::fill(taken_.begin() + start, taken_.begin() + h.end, 1);
            chosen_.push_back(h);
            size += side.to[h.pair].size() - side.from[h.pair].size();
        }
        std::sort(chosen_.begin(), chosen_.end(),
                  [](const Hit& a, const Hit& b) { return a.end < b.end; });
        return size;
    }

    void replace(const Side& side, int pair) {
        const QString& from = side.from[pair];
        const QString& to = side.to[pair];
        qsizetype at = QStringView(text_).indexOf(from);
        // Pairs found before may have lost their key to an earlier replacement.
        if (at < 0) return;
        built_.resize(0);
        placed_.clear();
        qsizetype done = 0;
        while (at >= 0) {
            built_.append(text_.constData() + done, at - done);
            placed_.push_back(built_.size());
            built_ += to;
            done = at + from.size();
            at = QStringView(text_).indexOf(from, done);
        }
        built_.append(text_.constData() + done, text_.size() - done);
        std::swap(text_, built_);

        const qsizetype reach = side.reach[std::size_t(pair)];
        if (reach < 0) return;
        qsizetype start = -1, end = -1;
        for (const qsizetype p : placed_) {
            const qsizetype first = std::max<qsizetype>(0, p - reach);
            if (first > end) {
                if (end > start)
                    side.finder.find(QStringView(text_).sliced(start, end - start), pair, found_);
                start = first;
            }
            end = std::min(text_.size(), p + to.size() + reach);
        }
        if (end > start)
            side.finder.find(QStringView(text_).sliced(start, end - start), pair, found_);
    }

    std::vector<Hit> hits_;
    std::vector<Hit> chosen_;
    std::vector<char> taken_;
    PairSet found_;
    QString text_;
    QString built_;
    std::vector<qsizetype> placed_;
};

LineTranslator& translator() {
    static LineTranslator t;
    return t;
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

void appendLineEn2Cn(QString& out, QStringView line) {
    Output o(out);
    translator().append(o, line, side(Direction::En2Cn));
}

void appendLineCn2En(QString& out, QStringView line) {
    Output o(out);
    translator().append(o, line, side(Direction::Cn2En));
}

QString translateLineEn2Cn(const QString& line) {
    QString out;
    appendLineEn2Cn(out, line);
    return out;
}

QString translateLineCn2En(const QString& line) {
    QString out;
    appendLineCn2En(out, line);
    return out;
}

QString translateScript(const QString& text, const QString& direction) {
    if (text.isEmpty()) return QString();
    // Splitting on CR LF and putting CR LF after every piece is the text plus one CR LF.
    if (direction != QLatin1String("en2cn") && direction != QLatin1String("cn2en"))
        return text + kLineEnd;
    const Side& pairs =
        side(direction == QLatin1String("en2cn") ? Direction::En2Cn : Direction::Cn2En);
    LineTranslator& lines = translator();
    QString out;
    out.reserve(text.size() + text.size() / 4 + 2);
    {
        Output o(out);
        const char16_t* const begin = reinterpret_cast<const char16_t*>(text.utf16());
        const char16_t* const end = begin + text.size();
        const char16_t* start = begin;
        for (const char16_t* p = begin;; ++p) {
            p = std::find(p, end, u'\r');
            if (p != end && (p + 1 == end || p[1] != u'\n')) continue;
            lines.append(o, QStringView(start, p), pairs);
            o.put(kLineEnd);
            if (p == end) break;
            start = ++p + 1;
        }
    }
    return out;
}

}  // namespace TranslateModule
