#include "library/xmldocument.h"

#include "library/xmlwellformed.h"

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Storage model. Every node lives in a pugixml document and is never destroyed before the
// document is: a removed or replaced node, or a freshly created one, is parked under a hidden
// element ("limbo": an element with an empty name, which no parsed text can produce) at the
// top level of its pugixml document, and every walk skips that element. Handles therefore stay
// valid whatever is done to the tree. When a document is loaded again, the previous pugixml
// document is kept (retired) for the handles that still point into it.
struct XmlDocData {
    std::unique_ptr<pugi::xml_document> doc = std::make_unique<pugi::xml_document>();
    std::vector<std::unique_ptr<pugi::xml_document>> spare;  // retired or holding declarations
    quint64 version = 0;  // bumped by every change of structure, for the live lists
};

struct XmlNodeList::Cache {
    quint64 version = ~quint64(0);
    std::vector<pugi::xml_node_struct*> nodes;
};

namespace {

using pugi::xml_attribute;
using pugi::xml_node;

constexpr unsigned kParseFlags = pugi::parse_cdata | pugi::parse_wconv_attribute | pugi::parse_eol |
                                 pugi::parse_pi | pugi::parse_comments | pugi::parse_declaration |
                                 pugi::parse_doctype | pugi::parse_fragment;

std::string utf8(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

QString qstr(const char* s) {
    return QString::fromUtf8(s);
}

bool isLimbo(const xml_node& n) {
    return n.type() == pugi::node_element && *n.name() == 0 && n.parent() &&
           n.parent().type() == pugi::node_document;
}

xml_node firstVisible(const xml_node& parent) {
    xml_node c = parent.first_child();
    while (c && isLimbo(c)) c = c.next_sibling();
    return c;
}

xml_node lastVisible(const xml_node& parent) {
    xml_node c = parent.last_child();
    while (c && isLimbo(c)) c = c.previous_sibling();
    return c;
}

xml_node nextVisible(xml_node c) {
    c = c.next_sibling();
    while (c && isLimbo(c)) c = c.next_sibling();
    return c;
}

xml_node previousVisible(xml_node c) {
    c = c.previous_sibling();
    while (c && isLimbo(c)) c = c.previous_sibling();
    return c;
}

xml_node limboOf(const xml_node& any) {
    xml_node root = any.root();
    for (xml_node c = root.first_child(); c; c = c.next_sibling())
        if (isLimbo(c)) return c;
    return root.append_child(pugi::node_element);
}

// Next node of a depth-first walk of top's subtree (top itself excluded), or null.
xml_node nextInTree(xml_node cur, const xml_node& top) {
    if (xml_node c = firstVisible(cur)) return c;
    while (cur && cur != top) {
        if (xml_node s = nextVisible(cur)) return s;
        cur = cur.parent();
    }
    return xml_node();
}

bool isXmlName(const QString& name) {
    const QByteArray b = name.toUtf8();
    return XmlWellFormed::isName(std::string_view(b.constData(), size_t(b.size())));
}

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Characters XML does not allow anywhere in a document, unpaired surrogates included.
bool hasOnlyXmlChars(QStringView text) {
    const qsizetype n = text.size();
    const QChar* p = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c >= 0x20 && c < 0xD800) continue;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(p[i + 1].unicode())) {
                ++i;
                continue;
            }
            return false;
        }
        if (!isXmlChar(c)) return false;
    }
    return true;
}

void escapeInto(std::string& out, const char* s, bool attribute) {
    for (; *s; ++s) {
        switch (*s) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                if (attribute)
                    out += '>';
                else
                    out += "&gt;";
                break;
            case '"':
                if (attribute)
                    out += "&quot;";
                else
                    out += '"';
                break;
            default:
                out += *s;
        }
    }
}

void writeAttribute(std::string& out, const xml_attribute& a) {
    out += a.name();
    out += "=\"";
    escapeInto(out, a.value(), true);
    out += '"';
}

// Writes a node that has no children of its own to write, or the start tag of one that has.
// True when children follow (and an end tag is owed).
bool writeOpen(std::string& out, const xml_node& n) {
    switch (n.type()) {
        case pugi::node_element: {
            out += '<';
            out += n.name();
            for (xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
                out += ' ';
                writeAttribute(out, a);
            }
            if (!n.first_child()) {
                out += "/>";
                return false;
            }
            out += '>';
            return true;
        }
        case pugi::node_pcdata:
            escapeInto(out, n.value(), false);
            return false;
        case pugi::node_cdata:
            out += "<![CDATA[";
            out += n.value();
            out += "]]>";
            return false;
        case pugi::node_comment:
            out += "<!--";
            out += n.value();
            out += "-->";
            return false;
        case pugi::node_pi:
            out += "<?";
            out += n.name();
            if (*n.value()) {
                out += ' ';
                out += n.value();
            }
            out += "?>";
            return false;
        case pugi::node_declaration:
            // The text is held as UTF-16 and saved by its callers in their own character set,
            // so no encoding is claimed.
            out += "<?xml version=\"1.0\"?>";
            return false;
        case pugi::node_doctype:
            out += "<!DOCTYPE ";
            out += n.value();
            out += '>';
            return false;
        default:
            return false;
    }
}

void writeTree(std::string& out, const xml_node& top) {
    if (top.type() == pugi::node_document) {
        for (xml_node c = firstVisible(top); c; c = nextVisible(c)) {
            writeTree(out, c);
            out += "\r\n";
        }
        return;
    }
    xml_node cur = top;
    for (;;) {
        if (writeOpen(out, cur)) {
            cur = cur.first_child();
            continue;
        }
        for (;;) {
            if (cur == top) return;
            if (xml_node next = cur.next_sibling()) {
                cur = next;
                break;
            }
            cur = cur.parent();
            out += "</";
            out += cur.name();
            out += '>';
        }
    }
}

void collectText(std::string& out, const xml_node& top) {
    for (xml_node n = firstVisible(top); n; n = nextInTree(n, top))
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) out += n.value();
}

QString trimmed(std::string_view s) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t b = 0, e = s.size();
    while (b < e && space(s[b])) ++b;
    while (e > b && space(s[e - 1])) --e;
    return QString::fromUtf8(s.data() + b, qsizetype(e - b));
}

bool isDescendantOrSelf(xml_node n, const xml_node& ancestor) {
    for (; n; n = n.parent())
        if (n == ancestor) return true;
    return false;
}

}  // namespace

// Conversions between handles and pugixml objects, kept out of the header.
struct XmlAccess {
    static xml_node node(const XmlNode& n) { return xml_node(n.n_); }
    static xml_attribute attr(const XmlNode& n) { return xml_attribute(n.a_); }
    static XmlNode make(const std::shared_ptr<XmlDocData>& d, const xml_node& n) {
        return n ? XmlNode(d, n.internal_object()) : XmlNode();
    }
    static XmlNode makeAttr(const std::shared_ptr<XmlDocData>& d, const xml_node& owner,
                            const xml_attribute& a) {
        return (owner && a) ? XmlNode(d, owner.internal_object(), a.internal_object()) : XmlNode();
    }
    static XmlNodeList list(const std::shared_ptr<XmlDocData>& d, const xml_node& root,
                            const QByteArray& name) {
        XmlNodeList l;
        if (!root) return l;
        l.d_ = d;
        l.root_ = root.internal_object();
        l.name_ = name;
        l.cache_ = std::make_shared<XmlNodeList::Cache>();
        return l;
    }
};

namespace {

// Where a node may go: pugixml's own rules plus one root element, no text, and the
// declaration first, at the top level.
bool mayInsert(const xml_node& parent, const xml_node& node, const xml_node& before) {
    if (!node || !parent) return false;
    const pugi::xml_node_type t = node.type();
    if (t == pugi::node_document || t == pugi::node_null) return false;
    if (parent.type() == pugi::node_element)
        return t != pugi::node_declaration && t != pugi::node_doctype;
    if (parent.type() != pugi::node_document) return false;
    switch (t) {
        case pugi::node_element:
            for (xml_node c = firstVisible(parent); c; c = nextVisible(c))
                if (c.type() == pugi::node_element && c != node) return false;
            return true;
        case pugi::node_declaration:
            for (xml_node c = firstVisible(parent); c; c = nextVisible(c))
                if (c.type() == pugi::node_declaration && c != node) return false;
            return !before ? !firstVisible(parent) : before == firstVisible(parent);
        case pugi::node_comment:
        case pugi::node_pi:
        case pugi::node_doctype:
            return true;
        default:
            return false;
    }
}

// Moves a node of the same pugixml document, or copies one of another, before `before` (or
// to the end when null). Returns the node now in place.
xml_node place(xml_node parent, const xml_node& node, const xml_node& before) {
    if (!mayInsert(parent, node, before)) return xml_node();
    if (before && (before.parent() != parent || isLimbo(before))) return xml_node();
    if (node == before) return node;
    if (node.root() == parent.root()) {
        if (isDescendantOrSelf(parent, node)) return xml_node();
        return before ? parent.insert_move_before(node, before) : parent.append_move(node);
    }
    return before ? parent.insert_copy_before(node, before) : parent.append_copy(node);
}

}  // namespace

// ---- XmlNode ----

XmlNode::XmlNode(std::shared_ptr<XmlDocData> d, pugi::xml_node_struct* n,
                 pugi::xml_attribute_struct* a)
    : d_(std::move(d)), n_(n), a_(a) {}

XmlNode::Type XmlNode::nodeType() const {
    if (!n_) return Type::None;
    if (a_) return Type::Attribute;
    switch (xml_node(n_).type()) {
        case pugi::node_element:
            return Type::Element;
        case pugi::node_pcdata:
            return Type::Text;
        case pugi::node_cdata:
            return Type::CData;
        case pugi::node_comment:
            return Type::Comment;
        case pugi::node_pi:
            return Type::ProcessingInstruction;
        case pugi::node_declaration:
            return Type::Declaration;
        case pugi::node_document:
            return Type::Document;
        case pugi::node_doctype:
            return Type::DocumentType;
        default:
            return Type::None;
    }
}

QString XmlNode::nodeName() const {
    if (!n_) return QString();
    if (a_) return qstr(xml_attribute(a_).name());
    const xml_node n(n_);
    switch (n.type()) {
        case pugi::node_pcdata:
            return QStringLiteral("#text");
        case pugi::node_cdata:
            return QStringLiteral("#cdata-section");
        case pugi::node_comment:
            return QStringLiteral("#comment");
        case pugi::node_document:
            return QStringLiteral("#document");
        case pugi::node_declaration:
            return QStringLiteral("xml");
        default:
            return qstr(n.name());
    }
}

QString XmlNode::baseName() const {
    switch (nodeType()) {
        case Type::Element:
        case Type::Attribute:
        case Type::ProcessingInstruction:
        case Type::Declaration:
        case Type::DocumentType: {
            const QString name = nodeName();
            const qsizetype colon = name.indexOf(QLatin1Char(':'));
            return colon < 0 ? name : name.mid(colon + 1);
        }
        default:
            return QString();
    }
}

XmlNodeList XmlNode::childNodes() const {
    if (!n_ || a_) return XmlNodeList();
    return XmlAccess::list(d_, xml_node(n_), QByteArray());
}

XmlNode XmlNode::firstChild() const {
    if (!n_ || a_) return XmlNode();
    return XmlAccess::make(d_, firstVisible(xml_node(n_)));
}

XmlNode XmlNode::lastChild() const {
    if (!n_ || a_) return XmlNode();
    return XmlAccess::make(d_, lastVisible(xml_node(n_)));
}

XmlNode XmlNode::nextSibling() const {
    if (!n_ || a_ || isLimbo(xml_node(n_).parent())) return XmlNode();
    return XmlAccess::make(d_, nextVisible(xml_node(n_)));
}

XmlNode XmlNode::previousSibling() const {
    if (!n_ || a_ || isLimbo(xml_node(n_).parent())) return XmlNode();
    return XmlAccess::make(d_, previousVisible(xml_node(n_)));
}

bool XmlNode::hasChildNodes() const {
    return !firstChild().isNull();
}

XmlNode XmlNode::parentNode() const {
    if (!n_ || a_) return XmlNode();
    const xml_node p = xml_node(n_).parent();
    if (!p || isLimbo(p)) return XmlNode();
    return XmlAccess::make(d_, p);
}

XmlNodeList XmlNode::getElementsByTagName(const QString& name) const {
    if (!n_ || a_) return XmlNodeList();
    QByteArray key = name.toUtf8();
    if (key.isEmpty()) return XmlNodeList();
    return XmlAccess::list(d_, xml_node(n_), key);
}

int XmlNode::attributeCount() const {
    if (!n_ || a_) return 0;
    int count = 0;
    for (xml_attribute a = xml_node(n_).first_attribute(); a; a = a.next_attribute()) ++count;
    return count;
}

XmlNode XmlNode::attributeItem(int i) const {
    if (!n_ || a_ || i < 0) return XmlNode();
    const xml_node n(n_);
    xml_attribute a = n.first_attribute();
    for (; a && i > 0; --i) a = a.next_attribute();
    return XmlAccess::makeAttr(d_, n, a);
}

XmlNode XmlNode::getNamedItem(const QString& name) const {
    if (!n_ || a_) return XmlNode();
    const xml_node n(n_);
    return XmlAccess::makeAttr(d_, n, n.attribute(utf8(name).c_str()));
}

void XmlNode::setNamedItem(const XmlNode& attribute) {
    if (!n_ || a_ || !attribute.a_ || xml_node(n_).type() != pugi::node_element) return;
    const xml_attribute source(attribute.a_);
    setAttribute(qstr(source.name()), qstr(source.value()));
}

QString XmlNode::getAttribute(const QString& name) const {
    if (!n_ || a_) return QString();
    return qstr(xml_node(n_).attribute(utf8(name).c_str()).value());
}

void XmlNode::setAttribute(const QString& name, const QString& value) {
    if (!n_ || a_ || xml_node(n_).type() != pugi::node_element || !isXmlName(name)) return;
    xml_node n(n_);
    const std::string key = utf8(name);
    xml_attribute a = n.attribute(key.c_str());
    if (!a) a = n.append_attribute(key.c_str());
    a.set_value(utf8(value).c_str());
}

QString XmlNode::text() const {
    if (!n_) return QString();
    if (a_) return trimmed(xml_attribute(a_).value());
    const xml_node n(n_);
    std::string s;
    switch (n.type()) {
        case pugi::node_element:
        case pugi::node_document: {
            // One text child (a long code, most often) is read where it lies.
            const xml_node only = firstVisible(n);
            if (only && !nextVisible(only) &&
                (only.type() == pugi::node_pcdata || only.type() == pugi::node_cdata))
                return trimmed(only.value());
            collectText(s, n);
            break;
        }
        case pugi::node_declaration:
            for (xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
                if (!s.empty()) s += ' ';
                writeAttribute(s, a);
            }
            break;
        default:
            s = n.value();
    }
    return trimmed(s);
}

void XmlNode::setText(const QString& text) {
    if (!n_) return;
    if (a_) {
        xml_attribute(a_).set_value(utf8(text).c_str());
        return;
    }
    xml_node n(n_);
    switch (n.type()) {
        case pugi::node_element: {
            xml_node limbo = limboOf(n);
            while (xml_node c = n.first_child()) limbo.append_move(c);
            if (!text.isEmpty()) n.append_child(pugi::node_pcdata).set_value(utf8(text).c_str());
            ++d_->version;
            break;
        }
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment:
        case pugi::node_pi:
            n.set_value(utf8(text).c_str());
            break;
        default:
            break;
    }
}

QString XmlNode::nodeTypedValue() const {
    if (!n_) return QString();
    if (a_) return qstr(xml_attribute(a_).value());
    switch (xml_node(n_).type()) {
        case pugi::node_element:
        case pugi::node_document:
        case pugi::node_declaration:
            return text();
        default:
            return qstr(xml_node(n_).value());
    }
}

void XmlNode::setNodeTypedValue(const QString& value) {
    setText(value);
}

QString XmlNode::xml() const {
    if (!n_) return QString();
    std::string out;
    if (a_)
        writeAttribute(out, xml_attribute(a_));
    else
        writeTree(out, xml_node(n_));
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

XmlNode XmlNode::appendChild(const XmlNode& node) {
    return insertBefore(node, XmlNode());
}

XmlNode XmlNode::insertBefore(const XmlNode& node, const XmlNode& ref) {
    if (!n_ || a_ || !node.n_ || node.a_ || ref.a_) return XmlNode();
    if (ref.n_ && xml_node(ref.n_).parent() != xml_node(n_)) return XmlNode();
    const xml_node placed = place(xml_node(n_), xml_node(node.n_), xml_node(ref.n_));
    if (!placed) return XmlNode();
    ++d_->version;
    if (node.d_ && node.d_ != d_) ++node.d_->version;
    return XmlAccess::make(d_, placed);
}

XmlNode XmlNode::removeChild(const XmlNode& node) {
    if (!n_ || a_ || !node.n_ || node.a_) return XmlNode();
    xml_node child(node.n_);
    if (child.parent() != xml_node(n_) || isLimbo(child)) return XmlNode();
    limboOf(child).append_move(child);
    ++d_->version;
    return node;
}

XmlNode XmlNode::replaceChild(const XmlNode& newNode, const XmlNode& oldNode) {
    if (!n_ || a_ || !newNode.n_ || newNode.a_ || !oldNode.n_ || oldNode.a_) return XmlNode();
    xml_node parent(n_);
    xml_node old(oldNode.n_);
    if (old.parent() != parent || isLimbo(old)) return XmlNode();
    if (newNode == oldNode) return oldNode;
    // Judge the top-level rules as if the old node were already gone.
    xml_node limbo = limboOf(old);
    const xml_node next = nextVisible(old);
    limbo.append_move(old);
    if (!place(parent, xml_node(newNode.n_), next)) {
        if (next)
            parent.insert_move_before(old, next);
        else
            parent.append_move(old);
        return XmlNode();
    }
    ++d_->version;
    if (newNode.d_ && newNode.d_ != d_) ++newNode.d_->version;
    return oldNode;
}

XmlDocument XmlNode::ownerDocument() const {
    return d_ ? XmlDocument(d_) : XmlDocument();
}

// ---- XmlNodeList ----

const XmlNodeList::Cache* XmlNodeList::fresh() const {
    if (!cache_) return nullptr;
    if (cache_->version == d_->version) return cache_.get();
    cache_->nodes.clear();
    const xml_node root(root_);
    if (name_.isEmpty()) {
        for (xml_node c = firstVisible(root); c; c = nextVisible(c))
            cache_->nodes.push_back(c.internal_object());
    } else {
        const bool all = name_ == "*";
        const char* key = name_.constData();
        for (xml_node n = firstVisible(root); n; n = nextInTree(n, root))
            if (n.type() == pugi::node_element && (all || std::strcmp(n.name(), key) == 0))
                cache_->nodes.push_back(n.internal_object());
    }
    cache_->version = d_->version;
    return cache_.get();
}

int XmlNodeList::length() const {
    const Cache* c = fresh();
    return c ? int(c->nodes.size()) : 0;
}

XmlNode XmlNodeList::item(int i) const {
    const Cache* c = fresh();
    if (!c || i < 0 || size_t(i) >= c->nodes.size()) return XmlNode();
    return XmlAccess::make(d_, xml_node(c->nodes[size_t(i)]));
}

// ---- XmlDocument ----

XmlDocument::XmlDocument() : d_(std::make_shared<XmlDocData>()) {}

XmlDocument::XmlDocument(std::shared_ptr<XmlDocData> d) : d_(std::move(d)) {}

bool XmlDocument::loadXML(const QString& text) {
    return loadXML(QStringView(text));
}

bool XmlDocument::loadXML(QStringView text) {
    ++d_->version;
    // Handles may still point into the old tree: keep it alive rather than destroy it.
    if (d_->doc->first_child()) d_->spare.push_back(std::move(d_->doc));
    d_->doc = std::make_unique<pugi::xml_document>();

    QStringView view = text;
    if (view.startsWith(QChar(0xFEFF))) view = view.mid(1);
    if (view.isEmpty() || !hasOnlyXmlChars(view)) return false;
    bool declaration = false;
    if (!XmlWellFormed::checkDeclaration(view, declaration)) return false;
    const QByteArray bytes = view.toUtf8();
    auto parsed = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result = parsed->load_buffer(
        bytes.constData(), size_t(bytes.size()), kParseFlags, pugi::encoding_utf8);
    if (!result || !XmlWellFormed::finishDocument(*parsed, declaration)) return false;
    d_->doc = std::move(parsed);
    return true;
}

XmlNode XmlDocument::documentNode() const {
    return XmlAccess::make(d_, d_->doc->root());
}

XmlNode XmlDocument::firstChild() const {
    return documentNode().firstChild();
}

XmlNodeList XmlDocument::childNodes() const {
    return documentNode().childNodes();
}

XmlNode XmlDocument::documentElement() const {
    for (xml_node c = firstVisible(d_->doc->root()); c; c = nextVisible(c))
        if (c.type() == pugi::node_element) return XmlAccess::make(d_, c);
    return XmlNode();
}

XmlNodeList XmlDocument::getElementsByTagName(const QString& name) const {
    return documentNode().getElementsByTagName(name);
}

XmlNode XmlDocument::createNode(const QString& elementName) {
    if (!isXmlName(elementName)) return XmlNode();
    xml_node n = limboOf(d_->doc->root()).append_child(pugi::node_element);
    n.set_name(utf8(elementName).c_str());
    return XmlAccess::make(d_, n);
}

XmlNode XmlDocument::createElement(const QString& name) {
    return createNode(name);
}

XmlNode XmlDocument::createTextNode(const QString& text) {
    xml_node n = limboOf(d_->doc->root()).append_child(pugi::node_pcdata);
    n.set_value(utf8(text).c_str());
    return XmlAccess::make(d_, n);
}

XmlNode XmlDocument::createComment(const QString& text) {
    xml_node n = limboOf(d_->doc->root()).append_child(pugi::node_comment);
    n.set_value(utf8(text).c_str());
    return XmlAccess::make(d_, n);
}

XmlNode XmlDocument::createAttribute(const QString& name) {
    if (!isXmlName(name)) return XmlNode();
    // A detached attribute lives on a holder element of its own in limbo.
    xml_node holder = limboOf(d_->doc->root()).append_child(pugi::node_element);
    holder.set_name("attribute");
    return XmlAccess::makeAttr(d_, holder, holder.append_attribute(utf8(name).c_str()));
}

XmlNode XmlDocument::createProcessingInstruction(const QString& target, const QString& data) {
    if (!isXmlName(target)) return XmlNode();
    if (target == QLatin1String("xml")) {
        // A declaration can only sit at the top of a document, so it gets a holder document,
        // which also reads its pseudo-attributes; it is copied in when appended.
        auto holder = std::make_unique<pugi::xml_document>();
        const std::string text = "<?xml " + utf8(data) + "?>";
        if (!holder->load_buffer(text.data(), text.size(), kParseFlags, pugi::encoding_utf8) ||
            holder->first_child().type() != pugi::node_declaration) {
            holder->reset();
            holder->append_child(pugi::node_declaration);
        }
        const xml_node decl = holder->first_child();
        d_->spare.push_back(std::move(holder));
        return XmlAccess::make(d_, decl);
    }
    xml_node n = limboOf(d_->doc->root()).append_child(pugi::node_pi);
    n.set_name(utf8(target).c_str());
    n.set_value(utf8(data).c_str());
    return XmlAccess::make(d_, n);
}

XmlNode XmlDocument::appendChild(const XmlNode& node) {
    return documentNode().appendChild(node);
}

XmlNode XmlDocument::insertBefore(const XmlNode& node, const XmlNode& ref) {
    return documentNode().insertBefore(node, ref);
}

XmlNode XmlDocument::removeChild(const XmlNode& node) {
    return documentNode().removeChild(node);
}

XmlNode XmlDocument::replaceChild(const XmlNode& newNode, const XmlNode& oldNode) {
    return documentNode().replaceChild(newNode, oldNode);
}

QString XmlDocument::xml() const {
    return documentNode().xml();
}
