#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include "library/xmldocument.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace platform {
class WebBrowser;
}

// The board pane of the script window: the children of the board's `list` element as entries
// (buttons, separator lines, text boxes, display areas), the fields that build a new child or
// replace the clicked one, the four moves, the skin chooser whose choice is kept in the list's
// `style` attribute, and a preview of the board inside the chosen skin.
//
// The panel edits the element it is given in place; it never copies it.
class SkinEditPanel : public QWidget {
    Q_OBJECT
  public:
    explicit SkinEditPanel(QWidget* parent = nullptr);

    // Makes list (possibly null) the edited board, rebuilds the entries and shows the list's
    // skin in the chooser; a list without a skin gets the first one, and without a list the
    // chooser shows the skin a new list would get. No entry is selected afterwards.
    void setSkinData(const XmlNode& list);
    // The live edited element, made (empty, with the skin the chooser shows) when there is none.
    XmlNode getSkinData();

    XmlNode skinListNode() const { return skinListNode_; }
    XmlNode selectedItemNode() const { return selectedItemNode_; }
    // The child of the list behind each entry of itemList, in entry order.
    QList<XmlNode> entryNodes() const { return entryNodes_; }

    // Writes skin.htm from the chosen skin and the board and shows it in the preview browser.
    void preview();
    // The address the preview browser is sent to.
    static QString previewAddress();

    // Stretches the preview browser to the panel's right and bottom edges.
    void layoutControls();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void loadSkinFileList();
    void appendSkinItem(const XmlNode& node);
    // An empty board list, carrying the skin the chooser shows.
    XmlNode newList(XmlDocument& doc) const;
    XmlNode buildItem();

    void addClicked();
    void editClicked();
    void deleteClicked();
    void moveTopClicked();
    void moveUpClicked();
    void moveDownClicked();
    void moveBottomClicked();
    void entryClicked(int row);
    void kindSwitch();
    void skinChosen(int index);

    // Selections made by the panel's own code run the same handler as the user's choice.
    void selectKind(const QString& kind);
    void selectSkin(int index);

    // The entry's child and its place among the children that give entries; -1 when the
    // entry does not exist.
    int shownPosition(int row) const;
    // The row of the picked entry; -1 when none is picked (a current entry alone is none).
    int selectedRow() const;
    QList<XmlNode> shownChildren() const;

    XmlNode skinListNode_;
    XmlNode selectedItemNode_;
    QList<XmlNode> entryNodes_;
    bool rebuilding_ = false;
    bool filledThisPress_ = false;  // an entry was picked since the last mouse press
    QString offeredSkin_;           // the skin whose style classes styleCombo holds
    bool classesOffered_ = false;

    QLabel* cssFileLabel_ = nullptr;
    QComboBox* cssFileCombo_ = nullptr;
    QPushButton* previewCommand_ = nullptr;
    QListWidget* itemList_ = nullptr;
    QPushButton* moveTopCommand_ = nullptr;
    QPushButton* moveUpCommand_ = nullptr;
    QPushButton* moveDownCommand_ = nullptr;
    QPushButton* moveButtomCommand_ = nullptr;
    QComboBox* componentsCombo_ = nullptr;
    QPushButton* addItemCommand_ = nullptr;
    QPushButton* editItemCommand_ = nullptr;
    QPushButton* delItemCommand_ = nullptr;
    QLineEdit* idText_ = nullptr;
    QLineEdit* showText_ = nullptr;
    QComboBox* styleCombo_ = nullptr;
    QComboBox* actionCombo_ = nullptr;
    QLineEdit* functionText_ = nullptr;
    platform::WebBrowser* previewWB_ = nullptr;
};
