// The board renderer on a parsed board: the first `list` element of the text (or its root),
// rendered to HTML. The output must stay within a bound linear in the board's text.

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
    const qsizetype bound = 64 * qsizetype(size) + 4096;
    if (html.size() > bound) fuzz::fail("board output out of bound", QString::number(html.size()));
    return 0;
}
