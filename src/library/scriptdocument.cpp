#include "library/scriptdocument.h"

#include "library/base64.h"
#include "library/textfile.h"

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
    x += (d.list.isNull() ? QStringLiteral("<list/>") : d.list.xml()) + kCrLf + kCrLf;
    x += urlList(QStringLiteral("include"), d.include);
    x += urlList(QStringLiteral("target"), d.target);
    x += QStringLiteral("<script>") + kCrLf + kCrLf + escapeText(d.script) + kCrLf + kCrLf +
         QStringLiteral("</script>") + kCrLf + kCrLf;
    x += QStringLiteral("</Tolvar>") + kCrLf;
    return x;
}

bool saveScriptFile(const QString& path) {
    const QString line = BASE64Module::base64Encode(scriptXmlText(scriptDocument()));
    return writeTextFile(path, line);
}

void loadScriptFile(const QString& path) {
    clearScriptDocument();
    parseScriptXml(BASE64Module::base64Decode(readTextFile(path)), true);
}

bool parseScriptXml(const QString& decoded, bool readInclude) {
    ScriptDocument& d = scriptDocument();
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
