#include "support/captionfit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>
#include <QtMath>
#include <typeinfo>

namespace {

QString plainCaption(QString text) {
    // A mnemonic marker takes no room; "&&" shows as one "&".
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

int textWidth(const QWidget* control, const QString& text) {
    int widest = 0;
    for (const QString& line : plainCaption(text).split(QLatin1Char('\n')))
        widest = qMax(widest, control->fontMetrics().horizontalAdvance(line));
    return widest;
}

QString nameOf(const QWidget* w) {
    QString name = w->objectName();
    if (name.isEmpty()) name = QString::fromLatin1(w->metaObject()->className());
    return name;
}

QString pathOf(const QWidget* window, const QWidget* control) {
    QStringList parts;
    for (const QWidget* w = control; w && w != window; w = w->parentWidget())
        if (!w->objectName().isEmpty() || w == control) parts.prepend(nameOf(w));
    return nameOf(window) + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

int pushButtonRoom(const QPushButton* button) {
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    opt.icon = button->icon();
    opt.iconSize = button->iconSize();
    if (button->isDefault()) opt.features |= QStyleOptionButton::DefaultButton;
    if (button->autoDefault()) opt.features |= QStyleOptionButton::AutoDefaultButton;
    if (button->isFlat()) opt.features |= QStyleOptionButton::Flat;
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
    int room = contents.width();
    if (!opt.icon.isNull()) room -= opt.iconSize.width() + 4;
    return room;
}

int toolButtonRoom(const QToolButton* button) {
    const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    switch (button->toolButtonStyle()) {
        case Qt::ToolButtonIconOnly:
            return -1;
        case Qt::ToolButtonTextBesideIcon:
            return button->width() - 2 * frame - button->iconSize().width() - 4;
        case Qt::ToolButtonFollowStyle:
            if (!button->icon().isNull()) return -1;  // the style shows the icon alone
            break;
        default:
            break;
    }
    return button->width() - 2 * frame;
}

int labelRoom(const QLabel* label) {
    int room = label->contentsRect().width() - 2 * label->margin();
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() > 0)
        indent = label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
    if (indent > 0) room -= indent;
    return room;
}

bool isRichText(const QLabel* label) {
    return label->textFormat() == Qt::RichText ||
           (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
}

int labelTextWidth(const QLabel* label) {
    if (!isRichText(label)) return textWidth(label, label->text());
    QTextDocument doc;
    doc.setDefaultFont(label->font());
    doc.setDocumentMargin(0);
    doc.setHtml(label->text());
    return qCeil(doc.idealWidth());
}

int comboRoom(const QComboBox* combo) {
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.editable = combo->isEditable();
    opt.frame = combo->hasFrame();
    opt.subControls = QStyle::SC_All;
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                       QStyle::SC_ComboBoxEditField, combo);
    // The label is drawn one pixel in from each side of the field.
    return field.width() - 2;
}

int checkRoom(const QAbstractButton* button, QStyle::SubElement contents) {
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    opt.icon = button->icon();
    opt.iconSize = button->iconSize();
    return button->style()->subElementRect(contents, &opt, button).width();
}

class Walker {
  public:
    explicit Walker(QWidget* window) : window_(window) {}

    void visit(const QSet<QTabBar*>& fixed) {
        checkShown();
        for (QTabBar* bar : window_->findChildren<QTabBar*>()) {
            if (!bar->isVisible() || fixed.contains(bar)) continue;
            QSet<QTabBar*> inner = fixed;
            inner.insert(bar);
            const int keep = bar->currentIndex();
            for (int i = 0; i < bar->count(); ++i) {
                if (i == keep || !bar->isTabEnabled(i) || !bar->isTabVisible(i)) continue;
                bar->setCurrentIndex(i);
                QCoreApplication::processEvents();
                visit(inner);
            }
            bar->setCurrentIndex(keep);
            QCoreApplication::processEvents();
        }
    }

    QStringList findings() const { return findings_; }

  private:
    void note(const QWidget* control, const QString& text, int needed, int room,
              const char* unit = "px") {
        if (needed <= room) return;
        const QString line = QStringLiteral("%1: \"%2\" needs %3 %5, has %4 %5")
                                 .arg(pathOf(window_, control), plainCaption(text))
                                 .arg(needed)
                                 .arg(room)
                                 .arg(QString::fromLatin1(unit));
        if (!findings_.contains(line)) findings_ << line;
    }

    void checkShown() {
        QList<QWidget*> controls = window_->findChildren<QWidget*>();
        controls.prepend(window_);
        for (QWidget* w : controls) {
            if (!w->isVisible()) continue;
            if (auto* bar = qobject_cast<QTabBar*>(w)) {
                const int space =
                    bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
                for (int i = 0; i < bar->count(); ++i) {
                    if (!bar->isTabVisible(i) || bar->tabText(i).isEmpty()) continue;
                    note(bar, bar->tabText(i), textWidth(bar, bar->tabText(i)),
                         bar->tabRect(i).width() - space);
                }
            } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
                if (combo->isEditable()) continue;
                const int room = comboRoom(combo);
                for (int i = 0; i < combo->count(); ++i)
                    note(combo, combo->itemText(i), textWidth(combo, combo->itemText(i)), room);
            } else if (auto* label = qobject_cast<QLabel*>(w)) {
                if (label->text().isEmpty()) continue;
                const int room = labelRoom(label);
                if (label->wordWrap()) {
                    const int height = label->heightForWidth(label->width());
                    note(label, label->text(), height, label->height(), "px high");
                } else {
                    note(label, label->text(), labelTextWidth(label), room);
                }
            } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                if (button->text().isEmpty()) continue;
                const int room = captionRoom(button);
                if (room >= 0)
                    note(button, button->text(), textWidth(button, button->text()), room);
            } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
                if (box->title().isEmpty()) continue;
                QStyleOptionGroupBox opt;
                opt.initFrom(box);
                opt.text = box->title();
                opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
                const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &opt,
                                                                 QStyle::SC_GroupBoxLabel, box);
                note(box, box->title(), textWidth(box, box->title()),
                     box->width() - 2 * qMax(0, label.left()));
            }
        }
    }

    QWidget* window_;
    QStringList findings_;
};

}  // namespace

int captionRoom(const QWidget* control) {
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->isEditable() ? -1 : comboRoom(combo);
    if (auto* label = qobject_cast<const QLabel*>(control)) return labelRoom(label);
    if (auto* check = qobject_cast<const QCheckBox*>(control))
        return checkRoom(check, QStyle::SE_CheckBoxContents);
    if (auto* radio = qobject_cast<const QRadioButton*>(control))
        return checkRoom(radio, QStyle::SE_RadioButtonContents);
    if (auto* tool = qobject_cast<const QToolButton*>(control)) return toolButtonRoom(tool);
    if (auto* push = qobject_cast<const QPushButton*>(control)) {
        // A button that draws itself (picture above its caption) gives its caption the
        // inside of its frame.
        if (typeid(*push) != typeid(QPushButton)) {
            const int frame =
                push->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, push);
            return push->width() - 2 * frame;
        }
        return pushButtonRoom(push);
    }
    return -1;
}

QStringList clippedCaptions(QWidget* window) {
    if (!window) return {};
    Walker walker(window);
    walker.visit({});
    return walker.findings();
}
