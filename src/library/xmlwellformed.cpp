#include "library/xmlwellformed.h"

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace XmlWellFormed {

namespace {

using pugi::xml_attribute;
using pugi::xml_node;

bool isSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The code point at s[p] of valid UTF-8 (the parser's input always is), advancing p.
char32_t nextCodePoint(std::string_view s, size_t& p) {
    const auto b = static_cast<unsigned char>(s[p++]);
    if (b < 0x80) return b;
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> more);
    for (; more > 0 && p < s.size(); --more)
        c = (c << 6) | (static_cast<unsigned char>(s[p++]) & 0x3F);
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool isAllSpace(const char* s) {
    for (; *s; ++s)
        if (!isSpace(char32_t(*s))) return false;
    return true;
}

// A reference at s[p] == '&': the text between "&" and ";" and the position after ";".
// False when no valid reference syntax follows.
bool readReference(std::string_view s, size_t p, std::string_view& body, size_t& after) {
    const size_t semi = s.find(';', p + 1);
    if (semi == std::string_view::npos) return false;
    body = s.substr(p + 1, semi - p - 1);
    after = semi + 1;
    if (body.empty()) return false;
    if (body[0] == '#') return body.size() >= 2;
    return isName(body);
}

// A character reference's body ("#65", "#x41"): the character, or false for bad digits or a
// character XML does not allow. Any number of leading zeros is fine.
bool charReference(std::string_view body, char32_t& code) {
    const bool hex = body.size() >= 2 && body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    code = 0;
    for (char d : digits) {
        int v;
        if (d >= '0' && d <= '9')
            v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
            v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
            v = d - 'A' + 10;
        else
            return false;
        code = code * (hex ? 16 : 10) + char32_t(v);
        if (code > 0x10FFFF) return false;
    }
    return isXmlChar(code);
}

char predefined(std::string_view name) {
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "amp") return '&';
    if (name == "quot") return '"';
    if (name == "apos") return '\'';
    return 0;
}

// A processing instruction's target: a name other than "xml" in any letter case.
bool piTargetOk(std::string_view t) {
    if (!isName(t)) return false;
    return !(t.size() == 3 && (t[0] | 0x20) == 'x' && (t[1] | 0x20) == 'm' && (t[2] | 0x20) == 'l');
}

// ---- document type declaration ----

struct Entity {
    std::string value;  // replacement text (character references already expanded)
    bool external = false;
    bool unparsed = false;
};

struct Dtd {
    std::unordered_map<std::string, Entity> general;
    std::unordered_map<std::string, Entity> parameter;
    // Cleared at a reference to a parameter entity that is not read (external or undeclared):
    // declarations after it are not taken, as for a processor that does not read it.
    bool taking = true;
};

class DtdReader {
  public:
    explicit DtdReader(Dtd& dtd) : dtd_(dtd) {}

    // The text between "<!DOCTYPE" plus white space and the closing ">".
    bool doctype(std::string_view s) {
        size_t p = 0;
        if (!name(s, p)) return false;
        const bool spaced = space(s, p);
        if (spaced && (at(s, p, "SYSTEM") || at(s, p, "PUBLIC"))) {
            if (!externalId(s, p, false)) return false;
            space(s, p);
        }
        if (p < s.size() && s[p] == '[') {
            ++p;
            if (!subset(s, p, 0, true)) return false;
            ++p;  // the "]"
            space(s, p);
        }
        return p == s.size();
    }

  private:
    Dtd& dtd_;
    std::unordered_set<std::string> activeParameters_;

    static bool at(std::string_view s, size_t p, std::string_view word) {
        return s.substr(p, word.size()) == word;
    }

    static bool space(std::string_view s, size_t& p) {
        const size_t start = p;
        while (p < s.size() && isSpace(char32_t(s[p]))) ++p;
        return p > start;
    }

    static bool name(std::string_view s, size_t& p, std::string* out = nullptr) {
        const size_t start = p;
        while (p < s.size()) {
            size_t q = p;
            const char32_t c = nextCodePoint(s, q);
            if (!(p == start ? isNameStartChar(c) : isNameChar(c))) break;
            p = q;
        }
        if (p == start) return false;
        if (out) out->assign(s.substr(start, p - start));
        return true;
    }

    static bool quoted(std::string_view s, size_t& p, std::string_view& out) {
        if (p >= s.size() || (s[p] != '"' && s[p] != '\'')) return false;
        const size_t end = s.find(s[p], p + 1);
        if (end == std::string_view::npos) return false;
        out = s.substr(p + 1, end - p - 1);
        p = end + 1;
        return true;
    }

    static bool pubidChars(std::string_view v) {
        for (char c : v) {
            const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == ' ' || c == '\r' || c == '\n' ||
                            std::strchr("-'()+,./:=?;!*#@$_%", c) != nullptr;
            if (!ok || c == 0) return false;
        }
        return true;
    }

    // SYSTEM literal | PUBLIC pubid literal; with publicOnly (notations) the system literal
    // may be missing after PUBLIC.
    static bool externalId(std::string_view s, size_t& p, bool publicOnly) {
        std::string_view lit;
        if (at(s, p, "SYSTEM")) {
            p += 6;
            return space(s, p) && quoted(s, p, lit);
        }
        if (!at(s, p, "PUBLIC")) return false;
        p += 6;
        if (!space(s, p) || !quoted(s, p, lit) || !pubidChars(lit)) return false;
        const size_t before = p;
        if (space(s, p) && p < s.size() && (s[p] == '"' || s[p] == '\'')) return quoted(s, p, lit);
        if (!publicOnly) return false;
        p = before;
        return true;
    }

    // intSubset up to its "]" (top) or to the end of a parameter entity's text.
    bool subset(std::string_view s, size_t& p, int depth, bool top) {
        for (;;) {
            space(s, p);
            if (p >= s.size()) return !top;
            if (s[p] == ']') return top;
            if (s[p] == '%') {
                if (!parameterReference(s, p, depth)) return false;
                continue;
            }
            if (!markupDeclaration(s, p)) return false;
        }
    }

    bool parameterReference(std::string_view s, size_t& p, int depth) {
        ++p;
        std::string key;
        if (!name(s, p, &key) || p >= s.size() || s[p] != ';') return false;
        ++p;
        const auto it = dtd_.parameter.find(key);
        if (it == dtd_.parameter.end() || it->second.external) {
            dtd_.taking = false;
            return true;
        }
        if (depth >= kMaxEntityDepth || !activeParameters_.insert(key).second) return false;
        const std::string text = it->second.value;
        size_t q = 0;
        const bool ok = subset(text, q, depth + 1, false);
        activeParameters_.erase(key);
        return ok;
    }

    bool markupDeclaration(std::string_view s, size_t& p) {
        if (at(s, p, "<!--")) {
            const size_t dashes = s.find("--", p + 4);
            if (dashes == std::string_view::npos || dashes + 2 >= s.size() || s[dashes + 2] != '>')
                return false;
            p = dashes + 3;
            return true;
        }
        if (at(s, p, "<?")) {
            p += 2;
            std::string target;
            if (!name(s, p, &target) || !piTargetOk(target)) return false;
            const size_t end = s.find("?>", p);
            if (end == std::string_view::npos) return false;
            if (end != p && !isSpace(char32_t(s[p]))) return false;
            p = end + 2;
            return true;
        }
        if (at(s, p, "<!ENTITY")) return entity(s, p);
        if (at(s, p, "<!ELEMENT")) return skimmed(s, p, 9, false);
        if (at(s, p, "<!ATTLIST")) return skimmed(s, p, 9, true);
        if (at(s, p, "<!NOTATION")) {
            p += 10;
            if (!space(s, p) || !name(s, p) || !space(s, p) || !externalId(s, p, true))
                return false;
            space(s, p);
            if (p >= s.size() || s[p] != '>') return false;
            ++p;
            return true;
        }
        return false;
    }

    // Element and attribute-list declarations: a name, then content up to ">" in which only
    // names, white space, the punctuation of content models and types, and (for attribute
    // lists) quoted default values may occur.
    static bool skimmed(std::string_view s, size_t& p, size_t keyword, bool attlist) {
        p += keyword;
        if (!space(s, p) || !name(s, p)) return false;
        while (p < s.size() && s[p] != '>') {
            const char c = s[p];
            if (attlist && (c == '"' || c == '\'')) {
                std::string_view value;
                if (!quoted(s, p, value) || value.find('<') != std::string_view::npos) return false;
                continue;
            }
            if (isSpace(char32_t(c)) || std::strchr("()|,?*+#", c) != nullptr) {
                ++p;
                continue;
            }
            if (!name(s, p)) {
                // Name tokens (NMTOKEN) of enumerations may start with any name character.
                size_t q = p;
                if (!isNameChar(nextCodePoint(s, q))) return false;
                p = q;
            }
        }
        if (p >= s.size()) return false;
        ++p;
        return true;
    }

    bool entity(std::string_view s, size_t& p) {
        p += 8;
        if (!space(s, p)) return false;
        bool isParameter = false;
        if (p < s.size() && s[p] == '%') {
            ++p;
            if (!space(s, p)) return false;
            isParameter = true;
        }
        std::string key;
        if (!name(s, p, &key) || !space(s, p)) return false;
        Entity e;
        std::string_view literal;
        if (p < s.size() && (s[p] == '"' || s[p] == '\'')) {
            if (!quoted(s, p, literal) || !entityValue(literal, e.value)) return false;
        } else {
            if (!externalId(s, p, false)) return false;
            e.external = true;
            const size_t before = p;
            if (space(s, p) && at(s, p, "NDATA")) {
                if (isParameter) return false;
                p += 5;
                if (!space(s, p) || !name(s, p)) return false;
                e.unparsed = true;
            } else {
                p = before;
            }
        }
        space(s, p);
        if (p >= s.size() || s[p] != '>') return false;
        ++p;
        // The first declaration of a name binds; the predefined entities keep their meaning.
        if (!dtd_.taking || (!isParameter && predefined(key))) return true;
        (isParameter ? dtd_.parameter : dtd_.general).emplace(std::move(key), std::move(e));
        return true;
    }

    // An entity value literal: character references are replaced now, entity references
    // stay for when the entity is used; a parameter-entity reference may not occur inside a
    // declaration of the internal subset.
    static bool entityValue(std::string_view v, std::string& out) {
        for (size_t i = 0; i < v.size();) {
            const char c = v[i];
            if (c == '%') return false;
            if (c != '&') {
                out += c;
                ++i;
                continue;
            }
            std::string_view body;
            size_t after;
            if (!readReference(v, i, body, after)) return false;
            if (body[0] == '#') {
                char32_t code;
                if (!charReference(body, code)) return false;
                appendUtf8(out, code);
            } else {
                out.append(v.substr(i, after - i));
            }
            i = after;
        }
        return true;
    }
};

// ---- references in content and attribute values ----

constexpr unsigned kFragmentFlags = pugi::parse_cdata | pugi::parse_wconv_attribute |
                                    pugi::parse_eol | pugi::parse_pi | pugi::parse_comments |
                                    pugi::parse_declaration | pugi::parse_doctype |
                                    pugi::parse_fragment | pugi::parse_ws_pcdata;

struct Expansion {
    const Dtd* dtd = nullptr;
    long budget = kMaxExpansion;
    std::unordered_set<std::string> active;  // entities being expanded, against recursion
};

// The entity a named reference may use in content or an attribute value.
const Entity* usable(const Expansion& x, std::string_view name, int depth) {
    if (!x.dtd || depth >= kMaxEntityDepth) return nullptr;
    const auto it = x.dtd->general.find(std::string(name));
    if (it == x.dtd->general.end() || it->second.external) return nullptr;
    if (x.active.count(it->first)) return nullptr;
    return &it->second;
}

bool charge(Expansion& x, const Entity& e) {
    x.budget -= long(e.value.size()) + 1;
    return x.budget >= 0;
}

// An attribute value's text after the parser: references replaced, a "<" refused. Inside an
// entity's replacement text the white space characters become spaces, as the literal's own
// already have.
bool attributeText(std::string_view raw, Expansion& x, std::string& out, int depth) {
    for (size_t i = 0; i < raw.size();) {
        const char c = raw[i];
        if (c == '<') return false;
        if (c != '&') {
            out += (depth > 0 && isSpace(char32_t(c))) ? ' ' : c;
            ++i;
            continue;
        }
        std::string_view body;
        size_t after;
        if (!readReference(raw, i, body, after)) return false;
        i = after;
        if (body[0] == '#') {
            char32_t code;
            if (!charReference(body, code)) return false;
            appendUtf8(out, code);
        } else if (const char p = predefined(body)) {
            out += p;
        } else {
            const Entity* e = usable(x, body, depth);
            if (!e || !charge(x, *e)) return false;
            const std::string key(body);
            x.active.insert(key);
            const bool ok = attributeText(e->value, x, out, depth + 1);
            x.active.erase(key);
            if (!ok) return false;
        }
    }
    return true;
}

bool finishTree(xml_node top, Expansion& x, int depth);

// The next node of a depth-first walk under top, or null.
xml_node nextNode(xml_node n, const xml_node& top) {
    if (xml_node c = n.first_child()) return c;
    while (n && n != top && !n.next_sibling()) n = n.parent();
    return (n && n != top) ? n.next_sibling() : xml_node();
}

// Merges the text nodes of [first, last] that stand next to each other and drops text made
// only of white space, as loading does for text between elements.
void tidyTexts(xml_node parent, xml_node first, xml_node stop) {
    for (xml_node n = first; n && n != stop;) {
        xml_node next = n.next_sibling();
        if (n.type() == pugi::node_pcdata) {
            while (next && next != stop && next.type() == pugi::node_pcdata) {
                const std::string joined = std::string(n.value()) + next.value();
                n.set_value(joined.c_str());
                xml_node after = next.next_sibling();
                parent.remove_child(next);
                next = after;
            }
            // Text at the top of an entity's own content waits until it is merged into place.
            if (parent.type() == pugi::node_element && isAllSpace(n.value()))
                parent.remove_child(n);
        }
        n = next;
    }
}

// Replaces a text node whose raw text holds references by the text and nodes they stand
// for. An entity whose replacement text holds markup is parsed as content on its own: it
// must be well-formed by itself.
bool expandText(xml_node text, Expansion& x, int depth) {
    xml_node parent = text.parent();
    // The node's own text stays in place until the node is changed, at the end.
    const std::string_view s(text.value());
    std::string buf;
    xml_node first;
    auto flush = [&]() {
        if (buf.empty()) return;
        xml_node t = parent.insert_child_before(pugi::node_pcdata, text);
        t.set_value(buf.c_str());
        if (!first) first = t;
        buf.clear();
    };
    for (size_t i = 0; i < s.size();) {
        if (s[i] != '&') {
            const size_t amp = s.find('&', i);
            const size_t end = amp == std::string_view::npos ? s.size() : amp;
            buf.append(s.substr(i, end - i));
            i = end;
            continue;
        }
        std::string_view body;
        size_t after;
        if (!readReference(s, i, body, after)) return false;
        i = after;
        if (body[0] == '#') {
            char32_t code;
            if (!charReference(body, code)) return false;
            appendUtf8(buf, code);
            continue;
        }
        if (const char p = predefined(body)) {
            buf += p;
            continue;
        }
        const Entity* e = usable(x, body, depth);
        if (!e || e->unparsed || !charge(x, *e)) return false;
        if (e->value.find_first_of("<&") == std::string::npos) {
            buf += e->value;
            continue;
        }
        pugi::xml_document fragment;
        if (!fragment.load_buffer(e->value.data(), e->value.size(), kFragmentFlags,
                                  pugi::encoding_utf8))
            return false;
        const std::string key(body);
        x.active.insert(key);
        const bool ok = finishTree(fragment, x, depth + 1);
        x.active.erase(key);
        if (!ok) return false;
        // What the entity's content costs to copy in counts against the bound as well.
        for (xml_node c = fragment.first_child(); c; c = nextNode(c, fragment)) x.budget -= 8;
        if (x.budget < 0) return false;
        flush();
        for (xml_node c = fragment.first_child(); c; c = c.next_sibling()) {
            const xml_node copy = parent.insert_copy_before(c, text);
            if (!first) first = copy;
        }
    }
    const xml_node stop = text.next_sibling();
    if (!first && !buf.empty()) {
        // Text alone: the node takes it, in the room its references took when that is enough.
        text.set_value(buf.c_str());
        tidyTexts(parent, text, stop);
        return true;
    }
    flush();
    parent.remove_child(text);
    if (first) tidyTexts(parent, first, stop);
    return true;
}

bool finishAttributes(const xml_node& n, Expansion& x, std::string& buf) {
    int count = 0;
    for (xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        if (!isName(a.name())) return false;
        const char* value = a.value();
        if (std::strchr(value, '<')) return false;
        if (std::strchr(value, '&')) {
            buf.clear();
            if (!attributeText(value, x, buf, 0)) return false;
            a.set_value(buf.c_str());
        }
        ++count;
    }
    if (count < 2) return true;
    std::unordered_set<std::string_view> names;
    for (xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
        if (!names.insert(a.name()).second) return false;
    return true;
}

bool commentOk(const char* value) {
    const size_t n = std::strlen(value);
    return !std::strstr(value, "--") && (n == 0 || value[n - 1] != '-');
}

// Checks every node under top and expands references; depth > 0 for an entity's content,
// whose white-space-only text stays at its top level until it is merged into place.
bool finishTree(xml_node top, Expansion& x, int depth) {
    std::vector<xml_node> texts;
    std::vector<xml_node> blank;
    std::string buf;
    for (xml_node n = top.first_child(); n;) {
        switch (n.type()) {
            case pugi::node_element:
                if (!isName(n.name()) || !finishAttributes(n, x, buf)) return false;
                break;
            case pugi::node_pcdata:
                if (std::strstr(n.value(), "]]>")) return false;
                if (std::strchr(n.value(), '&'))
                    texts.push_back(n);
                else if (depth > 0 && n.parent() != top && isAllSpace(n.value()))
                    blank.push_back(n);
                break;
            case pugi::node_comment:
                if (!commentOk(n.value())) return false;
                break;
            case pugi::node_pi:
                if (!piTargetOk(n.name()) || std::strstr(n.value(), "?>")) return false;
                break;
            case pugi::node_cdata:
                break;
            case pugi::node_declaration:
            case pugi::node_doctype:
                if (depth > 0 || n.parent() != top) return false;
                break;
            default:
                return false;
        }
        n = nextNode(n, top);
    }
    for (xml_node b : blank) b.parent().remove_child(b);
    for (xml_node t : texts)
        if (!expandText(t, x, depth)) return false;
    return true;
}

}  // namespace

bool isNameStartChar(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c) {
    return isNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool isName(std::string_view utf8) {
    if (utf8.empty()) return false;
    size_t p = 0;
    if (!isNameStartChar(nextCodePoint(utf8, p))) return false;
    while (p < utf8.size())
        if (!isNameChar(nextCodePoint(utf8, p))) return false;
    return true;
}

bool checkDeclaration(QStringView t, bool& present) {
    present = false;
    if (!t.startsWith(QLatin1String("<?xml"))) return true;
    // "<?xml-stylesheet ...?>" and the like are processing instructions.
    if (t.size() > 5 && !isSpace(t[5].unicode()) && t[5] != u'?') return true;
    present = true;
    qsizetype p = 5;
    auto space = [&]() {
        const qsizetype start = p;
        while (p < t.size() && isSpace(t[p].unicode())) ++p;
        return p > start;
    };
    // S name Eq quoted-value; false (p unchanged) when the name does not follow.
    auto pseudo = [&](QLatin1String name, QStringView& value) {
        const qsizetype start = p;
        if (!space() || !t.mid(p).startsWith(name)) {
            p = start;
            return false;
        }
        p += name.size();
        space();
        if (p >= t.size() || t[p] != u'=') return false;
        ++p;
        space();
        if (p >= t.size() || (t[p] != u'"' && t[p] != u'\'')) return false;
        const qsizetype end = t.indexOf(t[p], p + 1);
        if (end < 0) return false;
        value = t.mid(p + 1, end - p - 1);
        p = end + 1;
        return true;
    };
    QStringView v;
    if (!pseudo(QLatin1String("version"), v)) return false;
    if (v.size() < 3 || !v.startsWith(QLatin1String("1."))) return false;
    for (QChar c : v.mid(2))
        if (c < u'0' || c > u'9') return false;
    const qsizetype afterVersion = p;
    if (pseudo(QLatin1String("encoding"), v)) {
        if (v.isEmpty()) return false;
        for (qsizetype i = 0; i < v.size(); ++i) {
            const QChar c = v[i];
            const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
            const bool other = (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-';
            if (!(letter || (i > 0 && other))) return false;
        }
    } else if (p != afterVersion) {
        return false;
    }
    const qsizetype afterEncoding = p;
    if (pseudo(QLatin1String("standalone"), v)) {
        if (v != QLatin1String("yes") && v != QLatin1String("no")) return false;
    } else if (p != afterEncoding) {
        return false;
    }
    space();
    return t.mid(p).startsWith(QLatin1String("?>"));
}

bool finishDocument(pugi::xml_document& doc, bool declarationAtStart) {
    // The top level: the declaration first (and only where the text starts with it), at
    // most one document type declaration before the root, exactly one root element, and
    // nothing but comments and processing instructions besides.
    int elements = 0;
    int doctypes = 0;
    int index = 0;
    xml_node doctype;
    for (xml_node c = doc.first_child(); c; c = c.next_sibling(), ++index) {
        switch (c.type()) {
            case pugi::node_element:
                ++elements;
                break;
            case pugi::node_declaration:
                if (index != 0 || !declarationAtStart) return false;
                break;
            case pugi::node_doctype:
                if (elements > 0 || ++doctypes > 1) return false;
                doctype = c;
                break;
            case pugi::node_comment:
            case pugi::node_pi:
                break;
            default:
                return false;
        }
    }
    if (elements != 1) return false;

    Dtd dtd;
    Expansion x;
    if (doctype) {
        // The parser skips the white space after "<!DOCTYPE"; there must be some.
        const ptrdiff_t offset = doctype.offset_debug();
        if (offset < 1) return false;
        const char* value = doctype.value();
        const char before = *(value - 1);
        if (!isSpace(char32_t(before))) return false;
        // Line ends inside the declaration read as LF, as everywhere in a document.
        std::string text;
        for (const char* s = value; *s; ++s) {
            if (*s == '\r') {
                text += '\n';
                if (s[1] == '\n') ++s;
            } else {
                text += *s;
            }
        }
        if (!DtdReader(dtd).doctype(text)) return false;
        x.dtd = &dtd;
    }
    return finishTree(doc, x, 0);
}

}  // namespace XmlWellFormed
