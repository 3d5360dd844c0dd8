#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTreeWidgetItem>
#include <memory>

// The analyzer's tree of a page: one tree node per page node, read from the page in slices
// (so that a page of any size is read without running into the bound of one page call, and
// the window answers its user between two slices) and built away from the view, which gets
// the finished tree in one insertion.
namespace nodeTree {

// Tree nodes keep their key in this role of column 0.
constexpr int kKeyRole = Qt::UserRole;

// One tree node. A text node shows "#" and its value on one line (line ends as visible marks,
// a long value cut short with "…"); its whole value is the tooltip. The node's texts live in
// the node itself: a tree of a large page is made of a great many of them.
class NodeItem : public QTreeWidgetItem {
  public:
    NodeItem() = default;
    explicit NodeItem(QTreeWidgetItem* parent) : QTreeWidgetItem(parent) {}

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

    bool isText = false;
    QString name;   // nodeName (elements and other nodes that are not text)
    QString value;  // nodeValue of a text node
    QString key;    // empty for nodes without a key
};

// How a text node's value shows in its row.
QString textRow(const QString& value);
constexpr int kRowValueLength = 80;

// An id as a JavaScript string literal between single quotes: the quote, the backslash, line
// ends, other control characters and "|" (the key's separator) are escaped, so that every
// expression holding it runs and its key reads back whole.
QString quotedId(const QString& id);

// The page's side. startExpression() finds the html element and sets up the walk; it gives
// the html element's place among the document's child nodes as text, or empty text when the
// document has no html element. sliceExpression() walks on for about budgetMs of the page's
// time and gives the nodes it passed in document order: a list of "E" for the last slice or
// "M", the nodes' numbers and their texts (see TreeBuilder::feed).
QString startExpression();
QString sliceExpression(int budgetMs);

// Turns slices into tree nodes. Keys are made in document order, as the nodes come.
class TreeBuilder {
  public:
    explicit TreeBuilder(const QString& rootKey);
    ~TreeBuilder();

    // Adds the nodes of one slice: five 32-bit numbers per node (flags: 1 text node,
    // 2 element; number of child nodes; lengths of its name, value and id) and the texts they
    // measure, one after the other. False when the two do not fit together.
    bool feed(const QByteArray& numbers, QStringView texts);
    int nodeCount() const { return count_; }
    // The finished tree; the caller owns it. nullptr when no node came.
    QTreeWidgetItem* takeRoot();

  private:
    struct Open {
        NodeItem* item;
        qsizetype pathLength;  // the part of its key before "|" (0 for a node without key)
        int left;              // child nodes still to come
        int next;              // place of the next child among its siblings
    };
    const QString& name(QStringView text);

    QString rootKey_;
    QList<QString> names_;  // node names seen so far, shared by the nodes that carry them
    std::unique_ptr<QTreeWidgetItem> root_;
    QList<Open> open_;
    int count_ = 0;
};

}  // namespace nodeTree
