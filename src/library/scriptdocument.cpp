#include "library/scriptdocument.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <string_view>

#include "library/base64.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"

namespace ScriptModule {

ScriptDocument& scriptDocument() {
    static ScriptDocument doc;
    return doc;
}

void clearScriptDocument() {
    ScriptDocument& d = scriptDocument();
    d.name.clear();
    d.home.clear();
    d.information.clear();
    d.author.clear();
    d.icon.clear();
    d.toolPop.clear();
    d.script.clear();
    d.list = XmlNode();
    // A script's plug-ins are its own: a new script, or one that failed to load, starts
    // with none, not with those of the script before it (which it could neither see nor
    // untick when the plug-in list does not offer them).
    d.include = QStringList();
    d.target = QStringList();
}

namespace {

// XML 1.0 has no way to carry most control characters, not even as references; a value that
// held one would give a file that no longer loads. They are dropped on the way out so the
// rest of the script survives.
bool isXmlChar(QChar c) {
    const char16_t u = c.unicode();
    return u >= 0x20 || u == u'\t' || u == u'\n' || u == u'\r';
}

// Characters the writer leaves out: XML has no way to carry them.
bool isDropped(QChar c) {
    const char16_t u = c.unicode();
    return !isXmlChar(c) || u == 0xFFFE || u == 0xFFFF;
}

// Names cannot hold such characters, so leaving them out of markup leaves them out of the
// values only.
QString withoutDropped(const QString& value) {
    qsizetype i = 0;
    while (i < value.size() && !isDropped(value.at(i))) ++i;
    if (i == value.size()) return value;
    QString out = value.left(i);
    for (; i < value.size(); ++i)
        if (!isDropped(value.at(i))) out += value.at(i);
    return out;
}

// Length in the file of each ASCII character in a value: the three markup characters become
// references, control characters are left out.
constexpr std::array<quint8, 0x80> kEscapedWidth = [] {
    std::array<quint8, 0x80> w{};
    for (int c = 0; c < 0x80; ++c) w[c] = c >= 0x20 || c == '\t' || c == '\n' || c == '\r';
    w['&'] = 5;
    w['<'] = 4;
    w['>'] = 4;
    return w;
}();

const char* reference(char16_t c) {
    return c == u'&' ? "&amp;" : c == u'<' ? "&lt;" : "&gt;";
}

std::u16string_view units(QStringView text) {
    return {text.utf16(), size_t(text.size())};
}

qsizetype escapedLength(QStringView value) {
    qsizetype n = 0;
    for (const char16_t c : units(value)) n += c < 0x80 ? kEscapedWidth[c] : (c >= 0xFFFE ? 0 : 1);
    return n;
}

char16_t* putAscii(char16_t* o, std::string_view ascii) {
    for (const char c : ascii) *o++ = char16_t(c);
    return o;
}

char16_t* putEscaped(char16_t* o, QStringView value) {
    for (const char16_t c : units(value)) {
        if (c < 0x80) {
            const quint8 width = kEscapedWidth[c];
            if (width != 1) {
                if (width) o = putAscii(o, {reference(c), width});
                continue;
            }
        } else if (c >= 0xFFFE) {
            continue;
        }
        *o++ = c;
    }
    return o;
}

// The file's text, laid out once: the same walk first measures it and then writes it, so
// the text is built in one buffer of the right size, whatever the size of the code.
class XmlText {
  public:
    explicit XmlText(char16_t* out) : o_(out) {}
    qsizetype size() const { return n_; }

    void markup(std::string_view ascii) {
        n_ += qsizetype(ascii.size());
        if (o_) o_ = putAscii(o_, ascii);
    }
    void verbatim(QStringView text) {
        n_ += text.size();
        if (o_) o_ = std::copy(units(text).begin(), units(text).end(), o_);
    }
    // A value as character data: markup characters as references, control characters left out.
    void text(QStringView value) {
        if (o_)
            o_ = putEscaped(o_, value);
        else
            n_ += escapedLength(value);
    }

  private:
    char16_t* o_;  // null while measuring
    qsizetype n_ = 0;
};

// The file's bytes, made as the text is laid out: each piece goes through the code page into
// a small buffer, whose filled part goes through base64 into the line buffer, which goes to
// the file when full. No copy of the whole text is ever held, so saving a long code costs
// no more memory than a short one.
class FileText {
  public:
    explicit FileText(ScriptModule::detail::FileReplacement& file)
        : file_(file), table_(platform::AnsiTable::instance()) {}

    void markup(std::string_view ascii) {
        room();
        o_ = std::copy(ascii.begin(), ascii.end(), o_);
    }
    // Text with no lone surrogate (the caller makes sure), written as it is.
    void verbatim(QStringView text) { convert<false>(text); }
    // Text with no lone surrogate, as character data.
    void text(QStringView value) { convert<true>(value); }

    // Writes what is left and the line end that closes the file's one line.
    bool finish() {
        room();
        if (lineSize_ > kLine - kChunk / 3 * 4) flushLine();
        char* end = encode(line_ + lineSize_, o_ - bytes_);
        *end++ = '\r';
        *end++ = '\n';
        return file_.write(QByteArrayView(line_, end));
    }

  private:
    // Bytes are encoded three at a time, four characters for three: a full chunk holds a
    // whole number of groups. Text is converted in blocks, the room for a block's bytes
    // (at most five per character) looked at once per block; the slack takes them.
    static constexpr qsizetype kChunk = 3 * 4096;
    static constexpr qsizetype kBlock = 256;
    static constexpr qsizetype kSlack = 5 * (kBlock + 1) + 64;
    // The file is written in pieces of this size: fewer, larger writes cost less.
    static constexpr qsizetype kLine = 64 * 1024;

    void room() {
        if (o_ - bytes_ < kChunk) return;
        if (lineSize_ > kLine - kChunk / 3 * 4) flushLine();
        lineSize_ = encode(line_ + lineSize_, kChunk) - line_;
        o_ = std::copy(bytes_ + kChunk, o_, bytes_);
    }

    void flushLine() {
        file_.write(QByteArrayView(line_, lineSize_));
        lineSize_ = 0;
    }

    char* encode(char* out, qsizetype n) const {
        return BASE64Module::detail::encodeBytesTo(out, QByteArrayView(bytes_, n),
                                                   BASE64Module::detail::Alphabet::General);
    }

    template <bool escaped>
    void convert(QStringView text) {
        const char16_t* p = text.utf16();
        const qsizetype n = text.size();
        qsizetype i = 0;
        while (i < n) {
            room();
            char* o = o_;
            // A pair met at the block's end takes one character more.
            for (const qsizetype end = std::min(n, i + kBlock); i < end; ++i) {
                const char16_t c = p[i];
                if (c < 0x80) {
                    const quint8 width = escaped ? kEscapedWidth[c] : 1;
                    if (width != 1) {
                        if (width) o = std::copy_n(reference(c), width, o);
                        continue;
                    }
                    *o++ = char(c);
                } else if (QChar::isHighSurrogate(c) && i + 1 < n &&
                           QChar::isLowSurrogate(p[i + 1])) {
                    o = table_.put(o, QChar::surrogateToUcs4(c, p[i + 1]));
                    ++i;
                } else if (!escaped || c < 0xFFFE) {
                    o = table_.put(o, c);
                }
            }
            o_ = o;
        }
    }

    ScriptModule::detail::FileReplacement& file_;
    const platform::AnsiTable& table_;
    char bytes_[kChunk + kSlack];
    char* o_ = bytes_;
    char line_[kLine + 2];
    qsizetype lineSize_ = 0;
};

// An element holding a value; one with nothing to write is written "<name/>".
template <typename Out>
void putElement(Out& x, std::string_view name, QStringView value) {
    if (std::all_of(value.begin(), value.end(), isDropped)) {
        x.markup("<");
        x.markup(name);
        x.markup("/>");
        return;
    }
    x.markup("<");
    x.markup(name);
    x.markup(">");
    x.text(value);
    x.markup("</");
    x.markup(name);
    x.markup(">");
}

// Without a board the file still gets an empty one, so it names no skin and loads as a
// script with nothing on its board.
QString boardText(const ScriptDocument& d) {
    return d.list.isNull() ? QStringLiteral("<list/>") : withoutDropped(d.list.xml());
}

template <typename Out>
void writeXml(Out& x, const ScriptDocument& d, QStringView board) {
    x.markup("\r\n<Tolvar>\r\n\r\n<base>\r\n\r\n");
    putElement(x, "name", d.name);
    x.markup("\r\n");
    putElement(x, "home", d.home);
    x.markup("\r\n");
    putElement(x, "information", d.information);
    x.markup("\r\n");
    putElement(x, "author", d.author);
    x.markup("\r\n");
    putElement(x, "icon", d.icon);
    x.markup("\r\n");
    putElement(x, "toolPop", d.toolPop);
    x.markup("\r\n\r\n</base>\r\n\r\n");
    x.verbatim(board);
    x.markup("\r\n\r\n");
    auto urlList = [&x](std::string_view name, const QStringList& entries) {
        x.markup("<");
        x.markup(name);
        x.markup(">\r\n");
        for (const QString& e : entries) {
            x.markup("\r\n");
            putElement(x, "url", e);
            x.markup("\r\n");
        }
        x.markup("\r\n</");
        x.markup(name);
        x.markup(">\r\n\r\n");
    };
    urlList("include", d.include);
    urlList("target", d.target);
    x.markup("<script>\r\n\r\n");
    x.text(d.script);
    x.markup("\r\n\r\n</script>\r\n\r\n</Tolvar>\r\n");
}

}  // namespace

QString scriptXmlText(const ScriptDocument& d) {
    const QString board = boardText(d);
    XmlText measure(nullptr);
    writeXml(measure, d, board);
    QString x(measure.size(), Qt::Uninitialized);
    XmlText write(reinterpret_cast<char16_t*>(x.data()));
    writeXml(write, d, board);
    return x;
}

namespace {

// XML's white space, which the reader trims from element texts.
bool isXmlBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The way through the code page: characters it lacks come back as "?".
QString throughAnsi(const QString& value) {
    bool ascii = true;
    for (QChar c : value)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    return ascii ? value : platform::fromAnsi(platform::toAnsi(value));
}

// A text value as the reader gives it: line ends as LF.
QString textAsRead(const QString& value) {
    QString out = throughAnsi(withoutDropped(value));
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

// An attribute value as the reader gives it: every line end and tab a space.
QString attributeAsRead(const QString& value) {
    QString out = throughAnsi(withoutDropped(value));
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : out)
        if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
    return out;
}

// The board as the reader sees it, in one text: element and attribute names exactly, values as
// they read back, adjacent texts joined and texts of white space alone left out. Control
// characters, dropped from every value, separate the parts. A board may nest as deep as its
// file does: the walk keeps the open elements in a list of its own, not on the stack.
QString describeBoard(const XmlNode& list) {
    if (list.isNull()) return QStringLiteral("\x01list\x04\x05");  // the empty board written
    QString out;
    struct Open {
        XmlNode next;  // the next child to describe
        QString text;  // adjacent texts met so far
    };
    QList<Open> open;
    auto flushText = [&out](QString& text) {
        const QString t = textAsRead(text);
        text.clear();
        for (QChar c : t)
            if (!isXmlBlank(c)) {
                out += u'\x0F' + t + u'\x05';
                return;
            }
    };
    auto describe = [&out, &open](const XmlNode& n) {
        switch (n.nodeType()) {
            case XmlNode::Type::Element:
                out += u'\x01' + n.nodeName();
                for (int i = 0; i < n.attributeCount(); ++i) {
                    const XmlNode a = n.attributeItem(i);
                    out += u'\x02' + a.nodeName() + u'\x03' + attributeAsRead(a.nodeTypedValue());
                }
                out += u'\x04';
                open.append({n.firstChild(), QString()});
                break;
            case XmlNode::Type::CData:
                out += u'\x06' + textAsRead(n.nodeTypedValue()) + u'\x05';
                break;
            case XmlNode::Type::Comment:
                out += u'\x07' + textAsRead(n.nodeTypedValue()) + u'\x05';
                break;
            case XmlNode::Type::ProcessingInstruction:
                out += u'\x08' + n.nodeName() + u'\x03' + textAsRead(n.nodeTypedValue()) + u'\x05';
                break;
            default:
                out += u'\x0E' + n.nodeName() + u'\x05';
                break;
        }
    };
    describe(list);
    while (!open.isEmpty()) {
        Open& top = open.last();
        if (top.next.isNull()) {
            flushText(top.text);
            open.removeLast();
            out += u'\x05';
            continue;
        }
        const XmlNode child = top.next;
        top.next = child.nextSibling();
        if (child.nodeType() == XmlNode::Type::Text) {
            top.text += child.nodeTypedValue();
            continue;
        }
        flushText(top.text);
        describe(child);
    }
    return out;
}

// Whether the record read back from the file is the record that was saved.
bool readsBackAsSaved(const ScriptDocument& saved, const ScriptDocument& back) {
    auto same = [](const QString& value, const QString& read) {
        return read == valueAsReadBack(value);
    };
    auto sameList = [&same](const QStringList& values, const QStringList& read) {
        if (values.size() != read.size()) return false;
        for (qsizetype i = 0; i < values.size(); ++i)
            if (!same(values[i], read[i])) return false;
        return true;
    };
    return same(saved.name, back.name) && same(saved.home, back.home) &&
           same(saved.information, back.information) && same(saved.author, back.author) &&
           same(saved.icon, back.icon) && same(saved.toolPop, back.toolPop) &&
           same(saved.script, back.script) && sameList(saved.include, back.include) &&
           sameList(saved.target, back.target) &&
           describeBoard(saved.list) == describeBoard(back.list);
}

}  // namespace

QString valueAsReadBack(const QString& value) {
    const QString read = textAsRead(value);
    qsizetype b = 0, e = read.size();
    while (b < e && isXmlBlank(read.at(b))) ++b;
    while (e > b && isXmlBlank(read.at(e - 1))) --e;
    return read.mid(b, e - b);
}

namespace {

// Whether the text holds half of a surrogate pair without the other half.
bool hasLoneSurrogate(QStringView text) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Most texts hold no surrogate at all: blocks without one are passed over whole.
    constexpr qsizetype kBlock = 64;
    for (; i + kBlock <= n; i += kBlock) {
        unsigned any = 0;
        for (qsizetype j = 0; j < kBlock; ++j) any |= unsigned((p[i + j] & 0xF800) == 0xD800);
        if (any) break;
    }
    for (; i < n; ++i) {
        const char16_t c = p[i];
        if ((c & 0xF800) != 0xD800) continue;
        if (c >= 0xDC00 || i + 1 == n || (p[i + 1] & 0xFC00) != 0xDC00) return true;
        ++i;
    }
    return false;
}

// Whether the board holds an element the reader would take for the part of the file that
// has this name: the part written after the board is then never read.
bool boardShadows(const XmlNode& list, const QString& name) {
    return !list.isNull() &&
           (list.nodeName() == name || !list.getElementsByTagName(name).item(0).isNull());
}

// See trialRecord; plain tells whether no text value holds a lone surrogate.
ScriptDocument trialOf(const ScriptDocument& d, bool& plain) {
    plain = true;
    ScriptDocument trial = d;
    auto settle = [&plain](QString& value, bool shadowed) {
        const bool lone = hasLoneSurrogate(value);
        if (lone) plain = false;
        if (!lone && !shadowed) value.clear();
    };
    for (QString* value :
         {&trial.name, &trial.home, &trial.information, &trial.author, &trial.icon, &trial.toolPop})
        settle(*value, false);
    settle(trial.script, boardShadows(d.list, QStringLiteral("script")));
    const bool include = boardShadows(d.list, QStringLiteral("include"));
    for (QString& value : trial.include) settle(value, include);
    const bool target = boardShadows(d.list, QStringLiteral("target"));
    for (QString& value : trial.target) settle(value, target);
    return trial;
}

bool writeScriptFile(const QString& path, const ScriptDocument& d, bool streamed) {
    const QString board = boardText(d);
    detail::FileReplacement file(path);
    if (streamed && !hasLoneSurrogate(board)) {
        FileText out(file);
        writeXml(out, d, board);
        return out.finish() && file.commit();
    }
    // What a lone surrogate becomes depends on what follows it, so such a text goes through
    // the code page whole.
    const QByteArray text = platform::toAnsi(scriptXmlText(d));
    QByteArray line((text.size() + 2) / 3 * 4 + 2, Qt::Uninitialized);
    char* end = BASE64Module::detail::encodeBytesTo(line.data(), text,
                                                    BASE64Module::detail::Alphabet::General);
    end[0] = '\r';
    end[1] = '\n';
    return file.write(line) && file.commit();
}

}  // namespace

namespace detail {

bool loadsBackWhole(const ScriptDocument& d) {
    const QString line = BASE64Module::base64Encode(scriptXmlText(d));
    ScriptDocument back;
    return parseScriptXml(back, BASE64Module::base64Decode(line + QStringLiteral("\r\n")), true) &&
           readsBackAsSaved(d, back);
}

// A text value that holds no lone surrogate always comes back as valueAsReadBack says, and
// cannot change how the rest of the file reads:
// - the writer leaves out only control characters and U+FFFE/U+FFFF, which never stand
//   between the halves of a pair, and writes "&", "<" and ">" as references;
// - the code page converts such a text one character at a time, so the value's bytes in the
//   file are those it has on its own; every character other than ASCII comes back either as
//   itself or as "?" (one per character), never as markup, a blank or a character XML lacks;
// - so the reader finds character data with no markup and no "</Tolvar>" in it, and gives
//   the value with references replaced, line ends made LF and blanks trimmed at both ends.
// Only a lone surrogate depends on what surrounds it (at the end of a value it is dropped
// on its own but written as "?" before the next tag). Such values, the board, whose names
// and markup can fail, and the parts the board shadows (an element of the board named
// "script", "target" or "include" is what the reader takes for that part, so whether the
// part comes back depends on the board) are what the trial is left to decide.
ScriptDocument trialRecord(const ScriptDocument& d) {
    bool plain;
    return trialOf(d, plain);
}

}  // namespace detail

bool saveScriptFile(const QString& path, SaveFailure* why) {
    const ScriptDocument& d = scriptDocument();
    // The file is tried before it is written: a script that would not load again as it was
    // saved (a board name the code page cannot hold, markup in a board comment) must not
    // replace a file that does.
    bool plain;
    if (!detail::loadsBackWhole(trialOf(d, plain))) {
        if (why) *why = SaveFailure::Content;
        return false;
    }
    if (!writeScriptFile(path, d, plain)) {
        if (why) *why = SaveFailure::Write;
        return false;
    }
    if (why) *why = SaveFailure::None;
    return true;
}

namespace {

// The XML text a script file holds. A file of ASCII alone, as every saved one is, reads as
// the same characters, so its line is decoded from the bytes where they lie; any other goes
// the whole way through the code page first. read tells whether the file could be read.
QString scriptFileXml(const QString& path, bool* read = nullptr) {
    QByteArray bytes;
    const bool ok = detail::readFileBytes(path, bytes);
    if (read) *read = ok;
    if (!ok) return {};
    bytes = detail::terminateLines(bytes);
    if (std::any_of(bytes.cbegin(), bytes.cend(), [](char c) { return c & 0x80; }))
        return BASE64Module::base64Decode(platform::fromAnsi(bytes));
    return platform::fromAnsi(BASE64Module::detail::decodeLatin1(
        std::move(bytes), BASE64Module::detail::Alphabet::General));
}

}  // namespace

bool loadScriptFile(const QString& path, LoadFailure* why) {
    clearScriptDocument();
    bool read = false;
    const bool loaded = parseScriptXml(scriptFileXml(path, &read), true);
    if (why) {
        if (loaded)
            *why = LoadFailure::None;
        else if (read)
            *why = LoadFailure::NotAScript;
        else
            *why = QFileInfo::exists(path) ? LoadFailure::Unreadable : LoadFailure::Missing;
    }
    return loaded;
}

bool readScriptFile(const QString& path, ScriptDocument& record) {
    record = ScriptDocument();
    return parseScriptXml(record, scriptFileXml(path), true);
}

bool parseScriptXml(const QString& decoded, bool readInclude) {
    return parseScriptXml(scriptDocument(), decoded, readInclude);
}

bool parseScriptXml(ScriptDocument& d, const QString& decoded, bool readInclude) {
    const QString endTag = QStringLiteral("</Tolvar>");
    const qsizetype at = decoded.indexOf(endTag);
    if (at < 0) return false;
    XmlDocument xml;
    if (!xml.loadXML(QStringView(decoded).left(at + endTag.size() + 1))) return false;

    const XmlNode first = xml.firstChild();
    if (first.nodeType() == XmlNode::Type::Declaration ||
        first.nodeType() == XmlNode::Type::Element) {
        const XmlNode enc = first.getNamedItem(QStringLiteral("encoding"));
        if (!enc.isNull()) d.encoding = enc.nodeTypedValue();
    }

    // A well-formed file that lacks one of its parts still gives the user what it has: a
    // missing part reads as empty rather than throwing the whole script away.
    const XmlNode base = xml.getElementsByTagName(QStringLiteral("base")).item(0);
    if (!base.isNull()) {
        const XmlNodeList children = base.childNodes();
        for (int i = 0; i < children.length(); ++i) {
            const XmlNode child = children.item(i);
            const QString n = child.nodeName();
            if (n == QLatin1String("name"))
                d.name = child.text();
            else if (n == QLatin1String("home"))
                d.home = child.text();
            else if (n == QLatin1String("information"))
                d.information = child.text();
            else if (n == QLatin1String("author"))
                d.author = child.text();
            else if (n == QLatin1String("icon"))
                d.icon = child.text();
            else if (n == QLatin1String("toolPop"))
                d.toolPop = child.text();
        }
    }

    auto texts = [&xml](const QString& name) {
        QStringList out;
        const XmlNode parent = xml.getElementsByTagName(name).item(0);
        if (parent.isNull()) return out;
        const XmlNodeList children = parent.childNodes();
        for (int i = 0; i < children.length(); ++i) out << children.item(i).text();
        return out;
    };
    d.target = texts(QStringLiteral("target"));
    if (readInclude) d.include = texts(QStringLiteral("include"));
    d.script = xml.getElementsByTagName(QStringLiteral("script")).item(0).text();
    d.list = xml.getElementsByTagName(QStringLiteral("list")).item(0);
    return true;
}

}  // namespace ScriptModule
