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

QString fillPiece(QString piece, const XmlNode& item, bool isButton) {
    const XmlNodeList values = item.childNodes();
    for (int i = 0; i < values.length(); ++i) {
        const XmlNode v = values.item(i);
        const QString name = v.baseName();
        if (name == QLatin1String("id")) {
            piece.replace(QStringLiteral("$TV_ID$"), v.text());
        } else if (name == QLatin1String("show")) {
            piece.replace(QStringLiteral("$TV_SHOW$"), v.text());
        } else if (name == QLatin1String("style")) {
            piece.replace(QStringLiteral("$TV_STYLE$"), v.text());
        } else if (name == QLatin1String("click") && isButton) {
            piece.replace(QStringLiteral("$TV_ACTION$"), QStringLiteral("onClick"));
            piece.replace(QStringLiteral("$TV_FUNCTION$"), v.text());
        }
    }
    return piece;
}

}  // namespace

QString buildBoardHtml(const XmlNode& list) {
    QString html;
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
        html += fillPiece(*tmpl, item, tmpl == &kItemTemplate);
        html += QStringLiteral("\r\n");
    }
    return html;
}

}  // namespace skinModule
