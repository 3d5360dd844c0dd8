#pragma once

#include <QPlainTextEdit>

// A multi-line text box whose line breaks are all plain ones. A plain text view offers two
// more: Shift+Enter puts in a line separator (U+2028), and pasted text may hold line or
// paragraph separators or lone CRs. None of them is a line end of the system's files (the
// code page has no line separator: it would be stored as "?"), so every line break the user
// types or pastes becomes a plain new line here, shown and stored as such. A box whose Tab
// moves the focus on types a tab with Ctrl+Tab.
class PlainTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit PlainTextBox(QWidget* parent = nullptr);

    // The text with every kind of line break (CR LF, lone CR, LF, U+2028, U+2029) made LF.
    static QString plainLineBreaks(const QString& text);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
};
