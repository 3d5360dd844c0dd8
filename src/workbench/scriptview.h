#pragma once

#include <QString>

#include "workbench/plaintextbox.h"

class QMimeData;
class QTextBlock;
class QTextCursor;
class QTextDocument;

// A view of script code. The script's line ends are CR LF; a line of it may also hold a lone
// CR, which a text view would take for a line end. The view shows such a CR as the
// carriage-return symbol (U+240D) carrying a mark in its format, so that the script's own
// U+240D characters, typed, pasted or loaded, stay what they are. Typing and pasting never
// make a mark: text put in by the user carries no format of its own.
class ScriptView : public PlainTextBox {
    Q_OBJECT
  public:
    explicit ScriptView(QWidget* parent = nullptr);

    static constexpr QChar kLoneCrMark{0x240D};

    // The view's whole text made the script text (CR LF line ends, lone CRs marked); returns
    // the text the view shows now.
    QString setScriptText(const QString& text);
    // Puts the script text in place of the cursor's selection, lone CRs marked.
    static void insertScriptText(QTextCursor& cursor, const QString& text);

    // The script text of a document, or of its characters from..to: lines joined with CR LF,
    // a marked symbol as CR, every other character as it is. Line and paragraph separators
    // inside a line (pasted in) end a line too.
    static QString scriptText(const QTextDocument* document);
    static QString scriptText(const QTextDocument* document, int from, int to);
    // One line of a view as script text, without its line end.
    static QString lineText(const QTextBlock& block);

    // The text a plain view shows for a script: what this view shows, without the marks.
    static QString shownText(const QString& text);

  protected:
    // Copying and dragging carry the script text, so that a lone CR comes back as one when
    // the text is put into a code view again.
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;
};
