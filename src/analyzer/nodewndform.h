#pragma once

#include <QString>

#include "platform/form.h"
#include "platform/pagedocument.h"

class QRadioButton;
class QTreeWidgetItem;

namespace platform {
class WebBrowser;
}

// "分析窗口": the page analyzer's tree of the page shown in the page viewer, one tree node per
// page node. Selecting a tree node (a click, or the keys) writes the expression that reaches
// that page node into the script box, wrapped as the chosen option says, and outlines the
// element in the page; the run button runs the script box in the page through one reusable
// script element. The tree and the script box grow with the window.
//
// Controls carry the object names of the design: nodeTV, mainFrame with Label1, Label2 (the
// status label) and Command1 (the load button), TabStrip1, showFrame and ctrlFrame with the
// option array actionOption (each option's index in its "Index" property), scriptText and
// runCommand.
class nodeWndForm : public platform::Form {
    Q_OBJECT
  public:
    static nodeWndForm& instance();

    static QString completeText();  // "完 成"
    static QString loadingText();   // "加载中"
    // Tree nodes keep their key in this role of column 0.
    static constexpr int kKeyRole = Qt::UserRole;
    // The page's time one slice of the tree's reading may take; the window answers its user
    // between two slices.
    static constexpr int kSliceBudgetMs = 100;

    // Base expression of the element outlined last; kept when the tree is rebuilt.
    QString lastHighlight;

    // The status label's text. It is kept here as well, so that the window shows the page's
    // state when it is opened again while the page viewer stays open.
    void setStatus(const QString& text);
    QString status() const { return status_; }

    // Clears the tree and builds it from the html element of wb's document. The tree shows
    // its root expanded and every other node collapsed. While the page is read the window
    // answers its user: a close, a new address or a new press of the load button ends the
    // build, and the tree stays empty.
    platform::PageResult showWB(platform::WebBrowser* wb);

    QRadioButton* actionOption(int index) const;

    // The handlers, public so that a test can drive them as the user does.
    void onLoadClick();
    void onNodeClick(QTreeWidgetItem* item);
    void onRunClick();
    void onTabClick();

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;

  private:
    nodeWndForm();
    void makeControls(QWidget* window);
    void layoutControls();
    QString execInPage(const QString& language, const QString& code);

    QString status_;
    int build_ = 0;           // counts the builds begun, so that a build sees a newer one
    bool abandoned_ = false;  // the last build was ended by the user
};

namespace nodeKey {

// The text form of a single-precision value as the keys carry it: up to seven significant
// digits, no trailing zeros, no "0" before the point (".7055475"); exponents as "E-08".
QString singleText(double value);

// "document" followed by the path part of a key (up to the first "|"); "document" for an empty
// key.
QString baseExpression(const QString& key);

}  // namespace nodeKey
