#include "livepage/pageinjection.h"

#include <QFile>
#include <QSet>
#include <optional>

#include "library/base64.h"
#include "library/board.h"
#include "platform/core/ansi.h"
#include "platform/core/clock.h"
#include "platform/core/programfolder.h"

namespace skinModule {

using platform::PageDocument;
using platform::PageElement;
using platform::PageResult;

namespace {

const QString kBoardToken = QStringLiteral("$BoardTemplate$");
const QString kScriptTrace = QStringLiteral("script-----------------------------");

QString failureText(const PageResult& r) {
    return r.error.isEmpty() ? QStringLiteral("未知错误") : r.error;
}

QString missingAttribute(const QString& name) {
    return QStringLiteral("div 元素缺少属性: ") + name;
}

// One walk over the children of a root. A lenient walk skips each failing step and goes on;
// a strict one remembers the first failure and stops there.
class Walker {
  public:
    Walker(const PageDocument& page, bool encodedScripts, bool strict)
        : page_(page), encoded_(encodedScripts), strict_(strict) {}

    // Called before each script child is handled.
    void setBeforeScript(void (*hook)()) { beforeScript_ = hook; }

    // False when a strict walk stopped; failure() then tells why.
    bool run(const XmlNode& root) {
        const XmlNodeList children = root.childNodes();
        const int n = children.length();
        for (int i = 0; i < n; ++i) {
            const XmlNode child = children.item(i);
            const QString name = child.baseName();
            bool going = true;
            if (name == QLatin1String("style")) {
                going = addStyle(child);
            } else if (name == QLatin1String("div")) {
                going = addDiv(child);
            } else if (name == QLatin1String("script")) {
                if (beforeScript_) beforeScript_();
                going = addScript(child);
            }
            if (!going) return false;
        }
        return true;
    }

    QString failure() const { return failure_.value_or(QString()); }

  private:
    // True when the walk goes on after this step.
    bool step(const PageResult& r) { return r.ok || fail(failureText(r)); }
    bool fail(const QString& description) {
        if (!strict_) return true;
        if (!failure_) failure_ = description;
        return false;
    }

    bool addStyle(const XmlNode& child) {
        PageResult r;
        const PageElement style = page_.createElement(QStringLiteral("style"), &r);
        if (!step(r)) return false;
        if (!step(style.setProperty(QStringLiteral("type"), QStringLiteral("text/css"))))
            return false;
        if (!step(style.setProperty(QStringLiteral("styleSheet.cssText"), child.nodeTypedValue())))
            return false;
        const PageElement head = page_.getElementsByTagName(QStringLiteral("head"), 0, &r);
        if (!step(r)) return false;
        return step(head.appendChild(style));
    }

    bool addDiv(const XmlNode& child) {
        PageResult r;
        const PageElement div = page_.createElement(QStringLiteral("div"), &r);
        if (!step(r)) return false;
        if (!setFromAttribute(div, child, QStringLiteral("id"), QStringLiteral("id"))) return false;
        if (!setFromAttribute(div, child, QStringLiteral("class"), QStringLiteral("className")))
            return false;
        const XmlNodeList parts = child.childNodes();
        const int n = parts.length();
        for (int j = 0; j < n; ++j) {
            const QString before = div.getText(QStringLiteral("innerHTML"), &r);
            if (!r.ok) {
                if (!step(r)) return false;
                continue;
            }
            if (!step(div.setProperty(QStringLiteral("innerHTML"),
                                      before + detail::htmlMarkup(parts.item(j)))))
                return false;
        }
        PageResult b;
        const PageElement body = page_.body(&b);
        if (!step(b)) return false;
        return step(body.appendChild(div));
    }

    bool setFromAttribute(const PageElement& div, const XmlNode& child, const QString& attribute,
                          const QString& property) {
        const XmlNode item = child.getNamedItem(attribute);
        if (item.isNull()) return fail(missingAttribute(attribute));
        return step(div.setProperty(property, item.nodeTypedValue()));
    }

    bool addScript(const XmlNode& child) {
        PageResult r;
        const PageElement script = page_.createElement(QStringLiteral("script"), &r);
        if (!step(r)) return false;
        if (!step(script.setProperty(QStringLiteral("language"), QStringLiteral("javascript"))))
            return false;
        const QString text = encoded_ ? BASE64Module::base64Decode(child.text()) : child.text();
        if (!step(script.setProperty(QStringLiteral("text"), text))) return false;
        const PageElement body = page_.body(&r);
        if (!step(r)) return false;
        return step(body.appendChild(script));
    }

    const PageDocument& page_;
    bool encoded_;
    bool strict_;
    void (*beforeScript_)() = nullptr;
    std::optional<QString> failure_;
};

void traceScript() {
    writeBugLog(kScriptTrace);
}

// The root a reader takes: the document's first node, when that is an element.
XmlNode rootOf(const XmlDocument& doc) {
    const XmlNode first = doc.childNodes().item(0);
    return first.nodeType() == XmlNode::Type::Element ? first : XmlNode();
}

QString escapedText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

QString escapedAttribute(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'"')
            out += QStringLiteral("&quot;");
        else
            out += c;
    }
    return out;
}

bool isVoidHtmlElement(const QString& name) {
    static const QSet<QString> names = {
        QStringLiteral("area"),  QStringLiteral("base"),  QStringLiteral("br"),
        QStringLiteral("col"),   QStringLiteral("embed"), QStringLiteral("hr"),
        QStringLiteral("img"),   QStringLiteral("input"), QStringLiteral("link"),
        QStringLiteral("meta"),  QStringLiteral("param"), QStringLiteral("source"),
        QStringLiteral("track"), QStringLiteral("wbr")};
    return names.contains(name.toLower());
}

void appendMarkup(QString& out, const XmlNode& node) {
    switch (node.nodeType()) {
        case XmlNode::Type::Element: {
            const QString name = node.nodeName();
            out += u'<';
            out += name;
            const int count = node.attributeCount();
            for (int i = 0; i < count; ++i) {
                const XmlNode a = node.attributeItem(i);
                out += u' ';
                out += a.nodeName();
                out += QStringLiteral("=\"");
                out += escapedAttribute(a.nodeTypedValue());
                out += u'"';
            }
            if (!node.hasChildNodes()) {
                out += isVoidHtmlElement(name) ? QStringLiteral("/>")
                                               : QStringLiteral("></") + name + u'>';
                return;
            }
            out += u'>';
            for (XmlNode c = node.firstChild(); !c.isNull(); c = c.nextSibling())
                appendMarkup(out, c);
            out += QStringLiteral("</") + name + u'>';
            return;
        }
        case XmlNode::Type::CData:
            // HTML content has no CDATA sections: the text itself is what was meant.
            out += escapedText(node.nodeTypedValue());
            return;
        default:
            out += node.xml();
            return;
    }
}

}  // namespace

namespace detail {

QString htmlMarkup(const XmlNode& node) {
    QString out;
    if (!node.isNull()) appendMarkup(out, node);
    return out;
}

}  // namespace detail

void injectXmlParts(const PageDocument& page, const XmlNode& root, bool encodedScripts) {
    if (root.isNull()) return;
    Walker(page, encodedScripts, false).run(root);
}

void applySkinAndRunScript(const PageDocument& page, const QString& skinText, const XmlNode& board,
                           const QString& code) {
    {
        QString text = skinText;
        text.replace(kBoardToken, buildBoardHtml(board));
        XmlDocument doc;
        // A skin that does not load, or does not begin with its root element, adds nothing;
        // the code still goes in.
        if (doc.loadXML(text)) injectXmlParts(page, rootOf(doc), false);
    }
    PageResult r;
    const PageElement script = page.createElement(QStringLiteral("script"), &r);
    script.setProperty(QStringLiteral("language"), QStringLiteral("javascript"));
    script.setProperty(QStringLiteral("text"), code);
    page.body(&r).appendChild(script);
}

void injectAnalysisPanel(const PageDocument& page, const QString& panelText) {
    XmlDocument doc;
    QString failure;
    if (!doc.loadXML(panelText)) {
        failure = QStringLiteral("分析面板的内容不是格式正确的 XML");
    } else {
        const XmlNode root = rootOf(doc);
        if (root.isNull()) {
            failure = QStringLiteral("分析面板的内容没有以根元素开头");
        } else {
            Walker walker(page, true, true);
            walker.setBeforeScript(traceScript);
            if (!walker.run(root)) failure = walker.failure();
        }
    }
    if (!failure.isEmpty()) writeBugLog(QStringLiteral("Description:") + failure);
}

QString execInPage(const PageDocument& page, const QString& elementId, const QString& language,
                   const QString& code) {
    PageResult r;
    PageElement element = page.getElementById(elementId, &r);
    if (!r.ok) return failureText(r);
    if (element.isNull()) {
        element = page.createElement(QStringLiteral("script"), &r);
        if (!r.ok) return failureText(r);
        r = element.setProperty(QStringLiteral("id"), elementId);
        if (!r.ok) return failureText(r);
        r = element.setProperty(QStringLiteral("language"), language);
        if (!r.ok) return failureText(r);
        const PageElement body = page.body(&r);
        if (!r.ok) return failureText(r);
        r = body.appendChild(element);
        if (!r.ok) return failureText(r);
    }
    r = element.setProperty(QStringLiteral("text"), code);
    if (!r.ok) return failureText(r);
    return QString();
}

void writeBugLog(const QString& message) {
    QFile file(platform::programFile(QStringLiteral("bug.log")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    file.write(platform::toAnsi(platform::dateTimeText() + QStringLiteral("=>") + message +
                                QStringLiteral("\r\n")));
}

}  // namespace skinModule
