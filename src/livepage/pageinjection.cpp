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

using platform::PageBatch;
using platform::PageDocument;
using platform::PageElement;
using platform::PageResult;

namespace {

const QString kBoardToken = QStringLiteral("$BoardTemplate$");
const QString kScriptTrace = QStringLiteral("script-----------------------------");
const QString kDescription = QStringLiteral("Description:");

QString failureText(const PageResult& r) {
    return r.error.isEmpty() ? QStringLiteral("未知错误") : r.error;
}

QString missingAttribute(const QString& name) {
    return QStringLiteral("div 元素缺少属性: ") + name;
}

// One walk over the children of a root, written as steps of a batch. A lenient walk skips
// each failing step and goes on; a strict one ends at the first failure, the page's or its
// own (a div without its attributes).
class Walker {
  public:
    Walker(PageBatch& batch, bool encodedScripts, bool strict)
        : batch_(batch), encoded_(encodedScripts), strict_(strict) {}

    // The first step of each script child, in order.
    QList<int> scriptSteps;

    void run(const XmlNode& root) {
        const XmlNodeList children = root.childNodes();
        const int n = children.length();
        for (int i = 0; i < n; ++i) {
            const XmlNode child = children.item(i);
            const QString name = child.baseName();
            bool going = true;
            if (name == QLatin1String("style")) {
                addStyle(child);
            } else if (name == QLatin1String("div")) {
                going = addDiv(child);
            } else if (name == QLatin1String("script")) {
                scriptSteps << batch_.size();
                addScript(child);
            }
            if (!going) return;
        }
    }

  private:
    void addStyle(const XmlNode& child) {
        const int style = batch_.createElement(QStringLiteral("style"));
        batch_.setProperty(style, QStringLiteral("type"), QStringLiteral("text/css"));
        batch_.setProperty(style, QStringLiteral("styleSheet.cssText"), child.nodeTypedValue());
        const int head = batch_.getElementsByTagName(QStringLiteral("head"), 0);
        batch_.appendChild(head, style);
    }

    bool addDiv(const XmlNode& child) {
        const int div = batch_.createElement(QStringLiteral("div"));
        if (!setFromAttribute(div, child, QStringLiteral("id"), QStringLiteral("id"))) return false;
        if (!setFromAttribute(div, child, QStringLiteral("class"), QStringLiteral("className")))
            return false;
        const XmlNodeList parts = child.childNodes();
        const int n = parts.length();
        for (int j = 0; j < n; ++j) batch_.appendHtml(div, detail::htmlMarkup(parts.item(j)));
        const int body = batch_.body();
        batch_.appendChild(body, div);
        return true;
    }

    bool setFromAttribute(int div, const XmlNode& child, const QString& attribute,
                          const QString& property) {
        const XmlNode item = child.getNamedItem(attribute);
        if (item.isNull()) {
            if (!strict_) return true;
            batch_.fail(missingAttribute(attribute));
            return false;
        }
        batch_.setProperty(div, property, item.nodeTypedValue());
        return true;
    }

    void addScript(const XmlNode& child) {
        const int script = batch_.createElement(QStringLiteral("script"));
        batch_.setProperty(script, QStringLiteral("language"), QStringLiteral("javascript"));
        const QString text = encoded_ ? BASE64Module::base64Decode(child.text()) : child.text();
        batch_.setProperty(script, QStringLiteral("text"), text);
        const int body = batch_.body();
        batch_.appendChild(body, script);
    }

    PageBatch& batch_;
    bool encoded_;
    bool strict_;
};

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

// Writes a node that has no children to write, or the start tag of an element that has (true:
// its children and end tag follow).
bool openMarkup(QString& out, const XmlNode& node, const detail::MarkupValues* values) {
    switch (node.nodeType()) {
        case XmlNode::Type::Element: {
            const QString name = node.nodeName();
            out += u'<';
            out += name;
            const int count = node.attributeCount();
            for (int i = 0; i < count; ++i) {
                const XmlNode a = node.attributeItem(i);
                QString value = a.nodeTypedValue();
                if (values && values->attribute) {
                    value = values->attribute(node, a.nodeName(), value);
                    if (value.isNull()) continue;
                }
                out += u' ';
                out += a.nodeName();
                out += QStringLiteral("=\"");
                out += escapedAttribute(value);
                out += u'"';
            }
            if (!node.hasChildNodes()) {
                out += isVoidHtmlElement(name) ? QStringLiteral("/>")
                                               : QStringLiteral("></") + name + u'>';
                return false;
            }
            out += u'>';
            return true;
        }
        case XmlNode::Type::Text:
        case XmlNode::Type::CData:
            // HTML content has no CDATA sections: the text itself is what was meant.
            out += escapedText(values && values->text ? values->text(node, node.nodeTypedValue())
                                                      : node.nodeTypedValue());
            return false;
        case XmlNode::Type::Comment:
        case XmlNode::Type::ProcessingInstruction:
            if (values && values->text) {
                const QString value = values->text(node, node.nodeTypedValue());
                if (node.nodeType() == XmlNode::Type::Comment) {
                    out += QStringLiteral("<!--") + value + QStringLiteral("-->");
                } else {
                    out += QStringLiteral("<?") + node.nodeName();
                    if (!value.isEmpty()) out += u' ' + value;
                    out += QStringLiteral("?>");
                }
                return false;
            }
            out += node.xml();
            return false;
        default:
            out += node.xml();
            return false;
    }
}

// A file's markup may nest as deep as it likes: the walk keeps its place in the tree, not on
// the stack.
void appendMarkup(QString& out, const XmlNode& top, const detail::MarkupValues* values) {
    XmlNode cur = top;
    for (;;) {
        if (openMarkup(out, cur, values)) {
            cur = cur.firstChild();
            continue;
        }
        for (;;) {
            if (cur == top) return;
            if (const XmlNode next = cur.nextSibling(); !next.isNull()) {
                cur = next;
                break;
            }
            cur = cur.parentNode();
            out += QStringLiteral("</") + cur.nodeName() + u'>';
        }
    }
}

}  // namespace

namespace detail {

QString htmlMarkup(const XmlNode& node, const MarkupValues* values) {
    QString out;
    if (!node.isNull()) appendMarkup(out, node, values);
    return out;
}

}  // namespace detail

PageInjection::PageInjection(const PageDocument& page) : batch_(page) {}

void PageInjection::addHeadScripts(const QStringList& sources) {
    if (sources.isEmpty()) return;
    batch_.beginGroup(false);
    const int head = batch_.getElementsByTagName(QStringLiteral("head"), 0);
    for (const QString& source : sources) {
        const int tag = batch_.createElement(QStringLiteral("script"));
        batch_.setProperty(tag, QStringLiteral("language"), QStringLiteral("javascript"));
        batch_.setProperty(tag, QStringLiteral("src"), source);
        batch_.appendChild(head, tag);
    }
}

void PageInjection::addXmlParts(const XmlNode& root, bool encodedScripts) {
    if (root.isNull()) return;
    batch_.beginGroup(false);
    Walker(batch_, encodedScripts, false).run(root);
}

void PageInjection::addSkinAndScript(const QString& skinText, const XmlNode& board,
                                     const QString& code) {
    {
        // A board that would swell past all measure is left out (with one trace line); the skin
        // and the code still go in, and the page goes on.
        bool refused = false;
        QString boardHtml = buildBoardHtml(board, &refused);
        if (!refused && skinText.count(kBoardToken) * boardHtml.size() > kMaxBoardHtmlLength) {
            refused = true;
            boardHtml.clear();
        }
        if (refused)
            skinTrace_ << QStringLiteral("Description:面板展开后超过 %1 MB, 没有放入页面")
                              .arg(kMaxBoardHtmlLength / (1024 * 1024));
        QString text = skinText;
        text.replace(kBoardToken, boardHtml);
        XmlDocument doc;
        // A skin that does not load, or does not begin with its root element, adds nothing;
        // the code still goes in.
        if (doc.loadXML(text)) addXmlParts(rootOf(doc), false);
    }
    batch_.beginGroup(false);
    const int script = batch_.createElement(QStringLiteral("script"));
    batch_.setProperty(script, QStringLiteral("language"), QStringLiteral("javascript"));
    batch_.setProperty(script, QStringLiteral("text"), code);
    const int body = batch_.body();
    batch_.appendChild(body, script);
}

void PageInjection::addAnalysisPanel(const QString& panelText) {
    Panel panel;
    XmlDocument doc;
    if (!doc.loadXML(panelText)) {
        panel.failure = QStringLiteral("分析面板的内容不是格式正确的 XML");
    } else {
        const XmlNode root = rootOf(doc);
        if (root.isNull()) {
            panel.failure = QStringLiteral("分析面板的内容没有以根元素开头");
        } else {
            batch_.beginGroup(true);
            panel.first = batch_.size();
            Walker walker(batch_, true, true);
            walker.run(root);
            panel.last = batch_.size();
            panel.scripts = walker.scriptSteps;
        }
    }
    panels_ << panel;
}

void PageInjection::endStage() {
    stageEnds_ << batch_.mark();
}

QStringList PageInjection::run(const std::function<void(int stage)>& stageEnded) {
    batch_.run([&](int mark) {
        if (stageEnded) stageEnded(int(stageEnds_.indexOf(mark)));
    });
    QStringList trace;
    for (const Panel& panel : panels_) {
        QString failure = panel.failure;
        int failedAt = -1;
        for (int k = panel.first; k < panel.last && failedAt < 0; ++k)
            if (batch_.ran(k) && !batch_.result(k).ok) failedAt = k;
        if (failedAt >= 0) failure = failureText(batch_.result(failedAt));
        // Each script child that the walk reached was traced before it was handled.
        for (const int first : panel.scripts)
            if (failedAt < 0 || first <= failedAt) trace << kScriptTrace;
        if (!failure.isEmpty()) trace << kDescription + failure;
    }
    return trace;
}

void injectXmlParts(const PageDocument& page, const XmlNode& root, bool encodedScripts) {
    if (root.isNull()) return;
    PageInjection injection(page);
    injection.addXmlParts(root, encodedScripts);
    injection.run();
}

void applySkinAndRunScript(const PageDocument& page, const QString& skinText, const XmlNode& board,
                           const QString& code) {
    PageInjection injection(page);
    injection.addSkinAndScript(skinText, board, code);
    injection.run();
    writeBugLogLines(injection.skinTrace());
}

void injectAnalysisPanel(const PageDocument& page, const QString& panelText) {
    PageInjection injection(page);
    injection.addAnalysisPanel(panelText);
    writeBugLogLines(injection.run());
}

QString execInPage(const PageDocument& page, const QString& elementId, const QString& language,
                   const QString& code) {
    PageResult r;
    PageElement element = page.getElementById(elementId, &r);
    if (!r.ok) return failureText(r);
    if (element.isNull()) {
        // Code in a language that does not run here makes no element: the run fails, and the
        // next run in this page decides the language afresh.
        if (!PageDocument::runsLanguage(language)) return platform::pagetext::noLanguage(language);
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
    writeBugLogLines({message});
}

void writeBugLogLines(const QStringList& messages) {
    if (messages.isEmpty()) return;
    QString text;
    for (const QString& message : messages)
        text += platform::dateTimeText() + QStringLiteral("=>") + message + QStringLiteral("\r\n");
    QFile file(platform::programFile(QStringLiteral("bug.log")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    file.write(platform::toAnsi(text));
}

}  // namespace skinModule
