#pragma once

// Putting XML-described page parts into a live page: a skin (styles, the element that frames
// the board, the skin's own script) with the board rendered into it, the script's code, the
// analysis panel, and code run through one reusable script element. Page work never stops
// the caller: failing steps are skipped (skins), end the injection with a trace line (the
// panel), or come back as a description (code runs).

#include <QString>

#include "library/xmldocument.h"
#include "platform/pagedocument.h"

namespace skinModule {

// Turns the `style`, `div` and `script` children of root into page elements, in document
// order: style sheets at the end of the head, divs and scripts at the end of the body. Script
// texts are general-alphabet base64 when encodedScripts is set. Every step is guarded on its
// own: a failing one is skipped and the walk goes on.
void injectXmlParts(const platform::PageDocument& page, const XmlNode& root, bool encodedScripts);

// Renders the board into every "$BoardTemplate$" of the skin text, injects the skin and then,
// whatever became of the skin, adds the code as the last script of the body.
void applySkinAndRunScript(const platform::PageDocument& page, const QString& skinText,
                           const XmlNode& board, const QString& code);

// Injects the analysis panel (same shape as a skin, base64 script texts). The first failure
// ends it with one "Description:" line in bug.log; parts added before it stay in the page.
void injectAnalysisPanel(const platform::PageDocument& page, const QString& panelText);

// Runs code in the page through the script element of that id, made on the first call in a
// page with the language given then. Empty when the page took the code, else the failure's
// description.
QString execInPage(const platform::PageDocument& page, const QString& elementId,
                   const QString& language, const QString& code);

// Appends "<date and time>=><message>" and CR LF to bug.log in the program folder. A log that
// cannot be written is passed over in silence: tracing never stops the work it traces.
void writeBugLog(const QString& message);

namespace detail {

// A node's markup as the page's HTML parser must see it to build the same tree: the node's
// `xml`, except that an empty element that HTML does not know as void is written with its
// end tag ("<div></div>", not "<div/>", which HTML would read as an open tag).
QString htmlMarkup(const XmlNode& node);

}  // namespace detail

}  // namespace skinModule
