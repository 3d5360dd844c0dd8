#include "analyzer/nodetree.h"

#include <QTextDocument>

#include "analyzer/nodewndform.h"
#include "platform/core/random.h"

namespace nodeTree {

namespace {

const QString kTreeState = QStringLiteral("__quillonTree");
// A tooltip of a whole script or style sheet would cover the screen and take long to lay out.
constexpr int kTipValueLength = 10000;

}  // namespace

QVariant NodeItem::data(int column, int role) const {
    if (column == 0) {
        switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
                return isText ? textRow(value) : name;
            case Qt::ToolTipRole:
                if (isText) {
                    const QString whole = value.size() > kTipValueLength
                                              ? value.left(kTipValueLength) + QStringLiteral("…")
                                              : value;
                    return Qt::convertFromPlainText(whole, Qt::WhiteSpaceNormal);
                }
                break;
            case kKeyRole:
                return key;
            default:
                break;
        }
    }
    return QTreeWidgetItem::data(column, role);
}

void NodeItem::setData(int column, int role, const QVariant& value) {
    if (column == 0 && role == kKeyRole) {
        key = value.toString();
        emitDataChanged();
        return;
    }
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole) && !isText) {
        name = value.toString();
        emitDataChanged();
        return;
    }
    QTreeWidgetItem::setData(column, role, value);
}

QString textRow(const QString& value) {
    QString row = QStringLiteral("#");
    row.reserve(kRowValueLength + 3);
    int shown = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (shown == kRowValueLength) {
            row += QStringLiteral("…");
            break;
        }
        const QChar c = value.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            // CR LF is one line end.
            if (c == QLatin1Char('\r') && i + 1 < value.size() &&
                value.at(i + 1) == QLatin1Char('\n'))
                ++i;
            row += QChar(0x21B5);  // ↵
        } else if (c == QChar(0x2028) || c == QChar(0x2029)) {
            row += QChar(0x21B5);
        } else {
            row += c;
        }
        ++shown;
    }
    return row;
}

QString quotedId(const QString& id) {
    QString text = QStringLiteral("'");
    text.reserve(id.size() + 2);
    for (const QChar c : id) {
        switch (c.unicode()) {
            case u'\'':
                text += QStringLiteral("\\'");
                break;
            case u'\\':
                text += QStringLiteral("\\\\");
                break;
            case u'\n':
                text += QStringLiteral("\\n");
                break;
            case u'\r':
                text += QStringLiteral("\\r");
                break;
            case u'|':
                text += QStringLiteral("\\x7c");
                break;
            case 0x2028:
                text += QStringLiteral("\\u2028");
                break;
            case 0x2029:
                text += QStringLiteral("\\u2029");
                break;
            default:
                if (c.unicode() < 0x20)
                    text += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
                else
                    text += c;
        }
    }
    return text + QLatin1Char('\'');
}

QString startExpression() {
    return QStringLiteral(
               "(function(){var r=document.getElementsByTagName('html')[0];if(!r)return '';"
               "var all=document.querySelectorAll('[id]'),seen=Object.create(null),"
               "dup=Object.create(null);for(var i=0;i<all.length;++i){"
               "var v=all[i].getAttribute('id');if(seen[v])dup[v]=1;else seen[v]=1;}"
               "Object.defineProperty(window,'%1',{value:{stack:[r],dup:dup},configurable:true,"
               "writable:true,enumerable:false});"
               "return String(Array.prototype.indexOf.call(document.childNodes,r));})()")
        .arg(kTreeState);
}

// The nodes of one slice in preorder, as three values: "E" for the last slice or "M", five
// numbers per node in a typed array (flags: 1 text node, 2 element; number of child nodes;
// lengths of nodeName, nodeValue and the id attribute, sent only when no other element of the
// document has the same id, as getElementById reaches only the first), and the texts of all nodes
// one after the other (a text node's name is not sent). Numbers go in a typed array and texts are
// only joined once: building a text per node costs the page far more than the walk itself.
QString sliceExpression(int budgetMs) {
    return QStringLiteral(
               "(function(){var s=window['%1'];if(!s)return null;"
               "var st=s.stack,H=new Int32Array(8192),h=0,S=[],q=0,t0=performance.now(),n=0;"
               "while(st.length){var d=st.pop(),c=0,t=d.nodeType,m,v,id;"
               "for(var x=d.lastChild;x;x=x.previousSibling){st.push(x);++c;}"
               "if(h+5>H.length){var G=new Int32Array(H.length*2);G.set(H);H=G;}"
               "if(t===1){m=d.nodeName;id=d.getAttribute('id');if(id===null||s.dup[id])id='';"
               "H[h]=2;H[h+2]=m.length;H[h+3]=0;H[h+4]=id.length;S[q++]=m;S[q++]=id;}"
               "else if(t===3){v=d.nodeValue;H[h]=1;H[h+2]=0;H[h+3]=v.length;H[h+4]=0;S[q++]=v;}"
               "else{m=d.nodeName;v=d.nodeValue;if(v===null)v='';"
               "H[h]=0;H[h+2]=m.length;H[h+3]=v.length;H[h+4]=0;S[q++]=m;S[q++]=v;}"
               "H[h+1]=c;h+=5;"
               "if((++n&255)===0&&performance.now()-t0>%2)break;}"
               "if(!st.length)delete window['%1'];"
               "return [st.length?'M':'E',H.subarray(0,h),S.join('')];})()")
        .arg(kTreeState)
        .arg(budgetMs);
}

TreeBuilder::TreeBuilder(const QString& rootKey) : rootKey_(rootKey) {}

TreeBuilder::~TreeBuilder() = default;

QTreeWidgetItem* TreeBuilder::takeRoot() {
    open_.clear();
    return root_.release();
}

const QString& TreeBuilder::name(QStringView text) {
    // A page uses a few dozen node names: the nodes share their texts.
    for (const QString& known : names_)
        if (known == text) return known;
    names_.append(text.toString());
    return names_.last();
}

bool TreeBuilder::feed(const QByteArray& numbers, QStringView texts) {
    const qsizetype entries = numbers.size() / qsizetype(sizeof(qint32));
    if (entries % 5 != 0) return false;
    const auto* number = reinterpret_cast<const qint32*>(numbers.constData());
    qsizetype at = 0;
    for (qsizetype e = 0; e < entries; e += 5) {
        const int flags = number[e], children = number[e + 1], nameLength = number[e + 2],
                  valueLength = number[e + 3], idLength = number[e + 4];
        if (children < 0 || nameLength < 0 || valueLength < 0 || idLength < 0 ||
            qsizetype(nameLength) + valueLength + idLength > texts.size() - at)
            return false;
        const QStringView nodeName = texts.mid(at, nameLength);
        const QStringView value = texts.mid(at + nameLength, valueLength);
        const QStringView id = texts.mid(at + nameLength + valueLength, idLength);
        at += qsizetype(nameLength) + valueLength + idLength;
        const bool text = flags & 1;
        const bool hasAttributes = flags & 2;

        NodeItem* item = nullptr;
        qsizetype pathLength = 0;
        if (open_.isEmpty()) {
            if (root_) return false;  // one root only
            item = new NodeItem();
            root_.reset(item);
            item->name = name(nodeName);
            item->key = rootKey_;
            pathLength = rootKey_.size();
        } else {
            Open& parent = open_.last();
            const int index = parent.next++;
            --parent.left;
            item = new NodeItem(parent.item);
            if (text) {
                item->isText = true;
                item->value = value.toString();
            } else {
                item->name = name(nodeName);
                if (hasAttributes) {
                    QString& key = item->key;
                    if (id.isEmpty()) {
                        key.reserve(parent.pathLength + 32);
                        key.append(QStringView(parent.item->key).left(parent.pathLength));
                        key.append(u".childNodes[");
                        key.append(QString::number(index));
                        key.append(u']');
                    } else {
                        key.reserve(id.size() + 40);
                        key.append(u".getElementById(");
                        key.append(quotedId(id.toString()));
                        key.append(u')');
                    }
                    pathLength = key.size();
                    // The paths are unique already (an id that two elements share is no
                    // locator, so it is not sent); the suffix is the design's.
                    key.append(u'|');
                    key.append(nodeKey::singleText(platform::rnd()));
                }
            }
        }
        ++count_;
        if (children > 0) open_.append({item, pathLength, children, 0});
        while (!open_.isEmpty() && open_.last().left <= 0) open_.removeLast();
    }
    return at == texts.size();
}

}  // namespace nodeTree
