// The board renderer on a parsed board: the first `list` element of the text (or its root),
// rendered to HTML. However the values repeat the template's tokens, the output stays bounded:
// a board whose rendering would grow past a few megabytes is refused rather than built.

#include "fuzzsupport.h"
#include "library/board.h"
#include "library/xmldocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    XmlDocument doc;
    if (!doc.loadXML(text)) return 0;
    XmlNode list = doc.getElementsByTagName(QStringLiteral("list")).item(0);
    if (list.isNull()) list = doc.documentElement();
    const QString html = skinModule::buildBoardHtml(list);
    if (html.size() > skinModule::kMaxBoardHtmlLength)
        fuzz::fail("board output out of bound", QString::number(html.size()));
    return 0;
}
