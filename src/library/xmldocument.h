#pragma once

// The XML document object that script files, boards, skins and boxes are read and written
// through. It is a small DOM over a pugixml tree: documents and nodes are value-type handles
// sharing the document, so a node keeps its document alive.
//
// Reading follows XML 1.0: white-space-only text between elements is dropped, line ends read
// back as LF, references (the predefined entities, character references and the internal
// entities the document type declares) are replaced by what they stand for, and anything
// that is not well-formed (bare "&", two roots, unclosed tags, a name with a character
// names may not hold, "--" in a comment, ...) fails the load and leaves no nodes.
// Writing: no indentation is added; an empty element is "<a/>"; "&", "<" and ">" are escaped
// in text, "&", "<" and '"' in attribute values; every other character is written as it is.

#include <QString>
#include <QStringView>
#include <memory>

namespace pugi {
struct xml_node_struct;
struct xml_attribute_struct;
}  // namespace pugi

struct XmlDocData;
class XmlDocument;
class XmlNodeList;

class XmlNode {
  public:
    enum class Type {
        None,
        Element,
        Text,
        CData,
        Comment,
        ProcessingInstruction,
        Declaration,
        Attribute,
        Document,
        DocumentType
    };

    XmlNode() = default;

    bool isNull() const { return n_ == nullptr; }
    explicit operator bool() const { return n_ != nullptr; }
    bool operator==(const XmlNode& other) const { return n_ == other.n_ && a_ == other.a_; }

    Type nodeType() const;
    // "#text", "#cdata-section", "#comment", "#document", "xml" for the declaration, the
    // target of a processing instruction, or the element or attribute name.
    QString nodeName() const;
    // The name without its namespace prefix; empty for text, comment and document nodes.
    QString baseName() const;

    XmlNodeList childNodes() const;
    XmlNode firstChild() const;
    XmlNode lastChild() const;
    XmlNode nextSibling() const;
    XmlNode previousSibling() const;
    bool hasChildNodes() const;
    // The element or document holding this node; null for attributes and detached nodes.
    XmlNode parentNode() const;
    // Descendant elements with exactly this name ("*": all), in document order.
    XmlNodeList getElementsByTagName(const QString& name) const;

    // Attributes of an element (and the pseudo-attributes of a declaration), in order.
    int attributeCount() const;
    XmlNode attributeItem(int i) const;
    XmlNode getNamedItem(const QString& name) const;
    // Sets the element's attribute of that name to the attribute node's value, adding it
    // at the end when the element has none; the element keeps its own copy.
    void setNamedItem(const XmlNode& attribute);
    QString getAttribute(const QString& name) const;
    void setAttribute(const QString& name, const QString& value);

    // Descendant text (text and CDATA) joined, trimmed of space, tab, CR and LF.
    QString text() const;
    // An element's children become one text node (none for empty text); other nodes take
    // the text as their value.
    void setText(const QString& text);
    // An element's text, or the untrimmed value of any other node.
    QString nodeTypedValue() const;
    void setNodeTypedValue(const QString& value);

    // This node's markup, serialized as described above; a document node gives the whole
    // document's text.
    QString xml() const;

    // Tree building. A node of another document is copied in and the copy is returned; a node
    // of this document is moved. An invalid insertion changes nothing and returns null.
    XmlNode appendChild(const XmlNode& node);
    XmlNode insertBefore(const XmlNode& node, const XmlNode& ref);  // null ref: append
    // The removed node stays usable (detached) for as long as its document lives.
    XmlNode removeChild(const XmlNode& node);
    XmlNode replaceChild(const XmlNode& newNode, const XmlNode& oldNode);

    XmlDocument ownerDocument() const;

  private:
    friend class XmlDocument;
    friend class XmlNodeList;
    friend struct XmlAccess;
    XmlNode(std::shared_ptr<XmlDocData> d, pugi::xml_node_struct* n,
            pugi::xml_attribute_struct* a = nullptr);

    std::shared_ptr<XmlDocData> d_;
    pugi::xml_node_struct* n_ = nullptr;       // the node; for an attribute, its element
    pugi::xml_attribute_struct* a_ = nullptr;  // set for attribute nodes only
};

// A live list: it reflects the tree as it is when asked.
class XmlNodeList {
  public:
    XmlNodeList() = default;
    int length() const;
    XmlNode item(int i) const;  // past either end: null

  private:
    friend struct XmlAccess;
    struct Cache;
    std::shared_ptr<XmlDocData> d_;
    pugi::xml_node_struct* root_ = nullptr;
    QByteArray name_;  // empty: the root's children; else descendant elements of that name
    std::shared_ptr<Cache> cache_;
    const Cache* fresh() const;
};

class XmlDocument {
  public:
    XmlDocument();  // a new empty document

    // Replaces the content by the parsed text. False, and no nodes, when the text is not
    // well-formed XML (empty text included).
    bool loadXML(const QString& text);
    bool loadXML(QStringView text);

    XmlNode documentNode() const;
    XmlNode firstChild() const;  // the declaration when there is one, else the root element
    XmlNodeList childNodes() const;
    XmlNode documentElement() const;
    XmlNodeList getElementsByTagName(const QString& name) const;

    // New detached nodes of this document; null for a name that is not an XML name.
    XmlNode createNode(const QString& elementName);
    XmlNode createElement(const QString& name);
    XmlNode createTextNode(const QString& text);
    XmlNode createComment(const QString& text);
    XmlNode createAttribute(const QString& name);
    // Target "xml" makes a declaration whose pseudo-attributes are read from data.
    XmlNode createProcessingInstruction(const QString& target, const QString& data);

    XmlNode appendChild(const XmlNode& node);
    XmlNode insertBefore(const XmlNode& node, const XmlNode& ref);
    XmlNode removeChild(const XmlNode& node);
    XmlNode replaceChild(const XmlNode& newNode, const XmlNode& oldNode);

    // The whole document: each top-level node followed by CR LF.
    QString xml() const;

    bool operator==(const XmlDocument& other) const { return d_ == other.d_; }

  private:
    friend class XmlNode;
    explicit XmlDocument(std::shared_ptr<XmlDocData> d);
    std::shared_ptr<XmlDocData> d_;
};
