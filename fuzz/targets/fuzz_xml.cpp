// The XML layer: any text either fails to load and leaves no nodes, or loads, serializes and
// loads again, after which serializing is stable and the tree is the same but for white
// space (line ends read back as LF, white space in attribute values as spaces, text made
// only of white space dropped). The reading operations are walked over the whole tree.

#include "fuzzsupport.h"
#include "library/xmldocument.h"

namespace {

QString withoutSpace(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') out += c;
    return out;
}

// The tree as text, white space left out and white-space-only text nodes skipped.
void sketch(const XmlNode& top, QString& out) {
    const XmlNodeList children = top.childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const XmlNode n = children.item(i);
        const QString value = withoutSpace(n.nodeTypedValue());
        if (n.nodeType() == XmlNode::Type::Text && value.isEmpty()) continue;
        // A declaration always prints as version 1.0 without its other pseudo-attributes.
        if (n.nodeType() == XmlNode::Type::Declaration) {
            out += QStringLiteral("(xml)");
            continue;
        }
        out += QString::number(int(n.nodeType())) + u'(' + n.nodeName();
        for (int a = 0; a < n.attributeCount(); ++a)
            out += u' ' + n.attributeItem(a).nodeName() + u'=' +
                   withoutSpace(n.attributeItem(a).nodeTypedValue());
        if (n.nodeType() != XmlNode::Type::Element) out += u':' + value;
        sketch(n, out);
        out += u')';
    }
}

void walk(const XmlNode& top, int depth) {
    if (depth > 200) return;
    const XmlNodeList children = top.childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const XmlNode n = children.item(i);
        (void)n.nodeName();
        (void)n.baseName();
        (void)n.text();
        (void)n.nodeTypedValue();
        for (int a = 0; a < n.attributeCount(); ++a) {
            const XmlNode attr = n.attributeItem(a);
            if (n.getNamedItem(attr.nodeName()).isNull()) fuzz::fail("attribute not found by name");
        }
        if (n.nodeType() == XmlNode::Type::Element &&
            top.getElementsByTagName(n.nodeName()).length() < 1)
            fuzz::fail("element not found by name");
        walk(n, depth + 1);
    }
    if (!children.item(children.length()).isNull()) fuzz::fail("item past the end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    XmlDocument doc;
    if (!doc.loadXML(text)) {
        if (doc.childNodes().length() != 0) fuzz::fail("a failed load left nodes");
        return 0;
    }
    walk(doc.documentNode(), 0);
    const QString first = doc.xml();
    XmlDocument again;
    if (!again.loadXML(first)) fuzz::fail("the serialized document does not load", first);
    const QString second = again.xml();
    XmlDocument third;
    if (!third.loadXML(second)) fuzz::fail("the second serialization does not load", second);
    if (third.xml() != second) fuzz::fail("serialization is not stable", second);
    QString before, after;
    sketch(doc.documentNode(), before);
    sketch(again.documentNode(), after);
    if (before != after)
        fuzz::fail("loading the serialized text changed more than white space",
                   first + QStringLiteral("\n----\n") + second);
    return 0;
}
