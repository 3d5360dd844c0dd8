#include "library/board.h"

namespace skinModule {

namespace {

const QString kItemTemplate = QStringLiteral(
    "<div id=\"$TV_ID$\" class=\"$TV_STYLE$\" $TV_ACTION$=\"$TV_FUNCTION$\" "
    "onmousemove=\"evtMenuOnmouseMove(this);\" onmouseout=\"evtMenuOnMouseOut(this);\">"
    "$TV_SHOW$</div>");
const QString kEnterTemplate = QStringLiteral(
    "<input type=\"text\" id=\"$TV_ID$\" class=\"$TV_STYLE$\" value=\"$TV_SHOW$\" />");
const QString kLabelTemplate =
    QStringLiteral("<div id=\"$TV_ID$\" class=\"$TV_STYLE$\">$TV_SHOW$</div>");

// Replaces every token in piece by value, unless the piece would then pass room characters.
bool replaceWithin(QString& piece, const QString& token, const QString& value, qsizetype room) {
    const qsizetype count = piece.count(token);
    if (piece.size() + count * (value.size() - token.size()) > room) return false;
    piece.replace(token, value);
    return true;
}

// False when the piece would pass room characters.
bool fillPiece(QString& piece, const XmlNode& item, bool isButton, qsizetype room) {
    const XmlNodeList values = item.childNodes();
    for (int i = 0; i < values.length(); ++i) {
        const XmlNode v = values.item(i);
        const QString name = v.baseName();
        bool fits = true;
        if (name == QLatin1String("id")) {
            fits = replaceWithin(piece, QStringLiteral("$TV_ID$"), v.text(), room);
        } else if (name == QLatin1String("show")) {
            fits = replaceWithin(piece, QStringLiteral("$TV_SHOW$"), v.text(), room);
        } else if (name == QLatin1String("style")) {
            fits = replaceWithin(piece, QStringLiteral("$TV_STYLE$"), v.text(), room);
        } else if (name == QLatin1String("click") && isButton) {
            fits = replaceWithin(piece, QStringLiteral("$TV_ACTION$"), QStringLiteral("onClick"),
                                 room) &&
                   replaceWithin(piece, QStringLiteral("$TV_FUNCTION$"), v.text(), room);
        }
        if (!fits) return false;
    }
    return true;
}

}  // namespace

QString buildBoardHtml(const XmlNode& list, bool* refused) {
    QString html;
    if (refused) *refused = false;
    if (list.isNull()) return html;
    const XmlNodeList items = list.childNodes();
    for (int i = 0; i < items.length(); ++i) {
        const XmlNode item = items.item(i);
        const QString kind = item.baseName();
        const QString* tmpl = nullptr;
        if (kind == QLatin1String("item"))
            tmpl = &kItemTemplate;
        else if (kind == QLatin1String("enter"))
            tmpl = &kEnterTemplate;
        else if (kind == QLatin1String("label"))
            tmpl = &kLabelTemplate;
        if (!tmpl) continue;  // "line" and unknown names render nothing
        QString piece = *tmpl;
        if (!fillPiece(piece, item, tmpl == &kItemTemplate,
                       kMaxBoardHtmlLength - html.size() - 2)) {
            if (refused) *refused = true;
            return QString();
        }
        html += piece;
        html += QStringLiteral("\r\n");
    }
    return html;
}

}  // namespace skinModule
