#pragma once

#include <QString>
#include <QStringList>

#include "platform/form.h"

// "搜索脚本": searches the script library of the maker's web site and shows the details and the
// download address of a chosen hit. One window serves both programs; its kind word, sent with
// every search and part of every download address, tells them apart: "open" (script sources,
// the workbench) or "close" (box files, the player). The window downloads nothing itself.
//
// Controls: typeCombo ("名称" / "简介"), keywordText, searchCommand, resultList, moreText.
class SearchWndForm : public platform::Form {
    Q_OBJECT
  public:
    static SearchWndForm& instance();

    static QString workbenchKind();  // "open"
    static QString playerKind();     // "close"

    // The program's kind word, "open" unless the program sets another before the first search.
    QString kindWord() const { return kindWord_; }
    void setKindWord(const QString& kind) { kindWord_ = kind; }

    // The raw hit records of the last search, in the order of resultList.
    QStringList searchResults;

    // The request body of a search, before its conversion to ANSI: nothing is URL-encoded.
    static QString searchBody(const QString& field, const QString& keyword, const QString& kind);
    // Posts a search and returns the first 1024 bytes of the reply as text; empty when nothing
    // came back. why, when given, tells in words for the user why the site gave no answer to
    // use (no connection, no answer in time, an error page); empty for an answer.
    QString postSearch(const QString& field, const QString& keyword, QString* why = nullptr);

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;

  private:
    SearchWndForm();
    void searchClicked();
    void resultClicked(int row);

    QString kindWord_;
    bool busy_ = false;  // one request at a time
};

// Connects the workbench main window's search button to this window.
void wireSearchWindow();
