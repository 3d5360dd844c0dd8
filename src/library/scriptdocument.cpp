#include "library/scriptdocument.h"

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
    d.target = QStringList();
}

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// XML 1.0 has no way to carry most control characters, not even as references; a value that
// held one would give a file that no longer loads. They are dropped on the way out so the
// rest of the script survives.
bool isXmlChar(QChar c) {
    const char16_t u = c.unicode();
    return u >= 0x20 || u == u'\t' || u == u'\n' || u == u'\r';
}

QString escapeText(const QString& value) {
    QString out;
    out.reserve(value.size() + value.size() / 16);
    for (QChar c : value) {
        switch (c.unicode()) {
            case u'&':
                out += QStringLiteral("&amp;");
                break;
            case u'<':
                out += QStringLiteral("&lt;");
                break;
            case u'>':
                out += QStringLiteral("&gt;");
                break;
            case 0xFFFE:
            case 0xFFFF:
                break;
            default:
                if (isXmlChar(c)) out += c;
        }
    }
    return out;
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

QString element(const QString& name, const QString& value) {
    const QString text = escapeText(value);
    if (text.isEmpty()) return QLatin1Char('<') + name + QStringLiteral("/>");
    return QLatin1Char('<') + name + QLatin1Char('>') + text + QStringLiteral("</") + name +
           QLatin1Char('>');
}

QString urlList(const QString& name, const QStringList& entries) {
    QString out = QLatin1Char('<') + name + QLatin1Char('>') + kCrLf;
    for (const QString& e : entries) out += kCrLf + element(QStringLiteral("url"), e) + kCrLf;
    out += kCrLf + QStringLiteral("</") + name + QLatin1Char('>') + kCrLf + kCrLf;
    return out;
}

}  // namespace

QString scriptXmlText(const ScriptDocument& d) {
    QString x;
    x.reserve(d.script.size() + 1024);
    x += kCrLf;
    x += QStringLiteral("<Tolvar>") + kCrLf + kCrLf;
    x += QStringLiteral("<base>") + kCrLf + kCrLf;
    x += element(QStringLiteral("name"), d.name) + kCrLf;
    x += element(QStringLiteral("home"), d.home) + kCrLf;
    x += element(QStringLiteral("information"), d.information) + kCrLf;
    x += element(QStringLiteral("author"), d.author) + kCrLf;
    x += element(QStringLiteral("icon"), d.icon) + kCrLf;
    x += element(QStringLiteral("toolPop"), d.toolPop) + kCrLf;
    x += kCrLf + QStringLiteral("</base>") + kCrLf + kCrLf;
    // Without a board the file still gets an empty one, so it names no skin and loads as
    // a script with nothing on its board.
    x += (d.list.isNull() ? QStringLiteral("<list/>") : withoutDropped(d.list.xml())) + kCrLf +
         kCrLf;
    x += urlList(QStringLiteral("include"), d.include);
    x += urlList(QStringLiteral("target"), d.target);
    x += QStringLiteral("<script>") + kCrLf + kCrLf + escapeText(d.script) + kCrLf + kCrLf +
         QStringLiteral("</script>") + kCrLf + kCrLf;
    x += QStringLiteral("</Tolvar>") + kCrLf;
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
// characters, dropped from every value, separate the parts.
void describeChildren(const XmlNode& parent, QString& out);

void describeNode(const XmlNode& n, QString& out) {
    switch (n.nodeType()) {
        case XmlNode::Type::Element: {
            out += u'\x01' + n.nodeName();
            for (int i = 0; i < n.attributeCount(); ++i) {
                const XmlNode a = n.attributeItem(i);
                out += u'\x02' + a.nodeName() + u'\x03' + attributeAsRead(a.nodeTypedValue());
            }
            out += u'\x04';
            describeChildren(n, out);
            out += u'\x05';
            break;
        }
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
}

void describeChildren(const XmlNode& parent, QString& out) {
    QString text;
    auto flushText = [&] {
        const QString t = textAsRead(text);
        text.clear();
        for (QChar c : t)
            if (!isXmlBlank(c)) {
                out += u'\x0F' + t + u'\x05';
                return;
            }
    };
    for (XmlNode c = parent.firstChild(); !c.isNull(); c = c.nextSibling()) {
        if (c.nodeType() == XmlNode::Type::Text) {
            text += c.nodeTypedValue();
            continue;
        }
        flushText();
        describeNode(c, out);
    }
    flushText();
}

QString describeBoard(const XmlNode& list) {
    QString out;
    if (list.isNull())
        out = QStringLiteral("\x01list\x04\x05");  // the empty board written in its place
    else
        describeNode(list, out);
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

bool saveScriptFile(const QString& path, SaveFailure* why) {
    const ScriptDocument& d = scriptDocument();
    const QString line = BASE64Module::base64Encode(scriptXmlText(d));
    // The file is read back before it is written: a script that would not load again as it
    // was saved (a board name the code page cannot hold, markup in a board comment) must not
    // replace a file that does.
    ScriptDocument back;
    if (!parseScriptXml(back, BASE64Module::base64Decode(line + QStringLiteral("\r\n")), true) ||
        !readsBackAsSaved(d, back)) {
        if (why) *why = SaveFailure::Content;
        return false;
    }
    if (!writeTextFile(path, line)) {
        if (why) *why = SaveFailure::Write;
        return false;
    }
    if (why) *why = SaveFailure::None;
    return true;
}

void loadScriptFile(const QString& path) {
    clearScriptDocument();
    parseScriptXml(BASE64Module::base64Decode(readTextFile(path)), true);
}

bool readScriptFile(const QString& path, ScriptDocument& record) {
    record = ScriptDocument();
    return parseScriptXml(record, BASE64Module::base64Decode(readTextFile(path)), true);
}

bool parseScriptXml(const QString& decoded, bool readInclude) {
    return parseScriptXml(scriptDocument(), decoded, readInclude);
}

bool parseScriptXml(ScriptDocument& d, const QString& decoded, bool readInclude) {
    const QString endTag = QStringLiteral("</Tolvar>");
    const qsizetype at = decoded.indexOf(endTag);
    if (at < 0) return false;
    const QString kept = decoded.left(at + endTag.size() + 1);

    XmlDocument xml;
    if (!xml.loadXML(kept)) return false;

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
