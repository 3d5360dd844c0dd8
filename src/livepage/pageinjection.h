#pragma once

// Putting XML-described page parts into a live page: a skin (styles, the element that frames
// the board, the skin's own script) with the board rendered into it, the script's code, the
// analysis panel, and code run through one reusable script element. Page work never stops
// the caller: failing steps are skipped (skins), end the injection with a trace line (the
// panel), or come back as a description (code runs).

#include <QString>
#include <QStringList>
#include <functional>

#include "library/xmldocument.h"
#include "platform/pagedocument.h"

namespace skinModule {

// The injection steps for one page, sent to it together in one round trip (see PageBatch):
// the page sees them in the order they were added, each with its own failure handling as the
// routines below describe.
class PageInjection {
  public:
    explicit PageInjection(const platform::PageDocument& page);

    // A script element with language "javascript" and that src per source, at the end of the
    // first head element, in order.
    void addHeadScripts(const QStringList& sources);
    // injectXmlParts, applySkinAndRunScript and injectAnalysisPanel as steps.
    void addXmlParts(const XmlNode& root, bool encodedScripts);
    void addSkinAndScript(const QString& skinText, const XmlNode& board, const QString& code);
    void addAnalysisPanel(const QString& panelText);

    // Ends a stage of the injection: run() tells of it as soon as the page is past it.
    void endStage();

    // Runs the steps. stageEnded hears of each stage that endStage() ended, once and in order
    // (0 the first), as soon as the page is past it, else once the steps are over. Gives the
    // analysis panel's trace lines for bug.log, in the order the injection met them:
    // "script-----------------------------" before each script child the walk reached,
    // "Description:" and the failure that ended it.
    QStringList run(const std::function<void(int stage)>& stageEnded = {});
    // The skin dressing's own trace lines (a board left out), to go between its bracket.
    QStringList skinTrace() const { return skinTrace_; }

  private:
    struct Panel {
        int first = 0;
        int last = 0;
        QList<int> scripts;
        QString failure;  // one found before any step (the text is no XML, no root)
    };
    platform::PageBatch batch_;
    QList<int> stageEnds_;
    QList<Panel> panels_;
    QStringList skinTrace_;
};

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
// Several lines at once, each with its own date and time, through one opening of the file.
void writeBugLogLines(const QStringList& messages);

namespace detail {

// What htmlMarkup writes for the values it meets, where a caller fills them in on the way. An
// unset function writes the value as the tree holds it.
struct MarkupValues {
    // An attribute's value, escaped afterwards; a null text leaves the attribute out.
    std::function<QString(const XmlNode& element, const QString& name, const QString& value)>
        attribute;
    // The text of a text or CDATA node (escaped afterwards), of a comment or of a processing
    // instruction (written as given).
    std::function<QString(const XmlNode& node, const QString& value)> text;
};

// A node's markup as the page's HTML parser must see it to build the same tree: the node's
// `xml`, except that an empty element that HTML does not know as void is written with its
// end tag ("<div></div>", not "<div/>", which HTML would read as an open tag). Nesting of any
// depth is written.
QString htmlMarkup(const XmlNode& node, const MarkupValues* values = nullptr);

}  // namespace detail

}  // namespace skinModule
