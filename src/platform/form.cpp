#include "platform/form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace platform {

void placeTwips(QWidget* control, int left, int top, int width, int height) {
    if (control) control->setGeometry(twipsRect(left, top, width, height));
}

void growToItems(QComboBox* list) {
    if (!list || list->count() == 0) return;
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = qMax(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
    QStyleOptionComboBox opt;
    opt.initFrom(list);
    opt.editable = list->isEditable();
    opt.frame = list->hasFrame();
    opt.subControls = QStyle::SC_All;
    // The room the style leaves the text beside the frame and the arrow; the label sits one
    // pixel in from each side of it.
    const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                      QStyle::SC_ComboBoxEditField, list);
    const int missing = widest + 2 - field.width();
    if (missing <= 0) return;
    const QRect g = list->geometry();
    list->setGeometry(g.x() - missing, g.y(), g.width() + missing, g.height());
}

class FormWindow : public QWidget {
  public:
    explicit FormWindow(Form* form) : form_(form) { setAttribute(Qt::WA_DeleteOnClose, false); }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (form_) form_->handleResize();
    }
    void closeEvent(QCloseEvent* event) override {
        if (!form_ || form_->handleClose())
            event->accept();
        else
            event->ignore();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (form_ && form_->handleDialogKey(event)) return;
        QWidget::keyPressEvent(event);
    }
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        // Minimising and restoring count as resizes, as the window's layout and tray
        // handling expect.
        if (event->type() == QEvent::WindowStateChange && form_) form_->handleResize();
    }

  private:
    QPointer<Form> form_;
};

Form::Form(const QString& objectName, QObject* parent) : QObject(parent) {
    setObjectName(objectName);
}

Form::~Form() {
    if (window_) delete window_.data();
}

void Form::load() {
    if (window_) return;
    auto* w = new FormWindow(this);
    w->setObjectName(objectName());
    window_ = w;
    onLoad(w);
    Q_EMIT loaded();
}

void Form::show() {
    load();
    if (!window_) return;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void Form::hide() {
    if (window_) window_->hide();
}

void Form::close() {
    if (window_) window_->close();
}

int Form::scaleWidth() const {
    return window_ ? twips(window_->width()) : 0;
}
int Form::scaleHeight() const {
    return window_ ? twips(window_->height()) : 0;
}

void Form::setMinimumSizeTwips(int width, int height) {
    if (window_) window_->setMinimumSize(px(width), px(height));
}

QSize Form::outerSizeTwips(int minWidth, int minHeight) {
    QWidget* w = window_;
    if (!w) return {};
    auto outer = [w] { return w->frameGeometry().size(); };
    QSize size(twips(outer().width()), twips(outer().height()));
    if (size.width() < minWidth || size.height() < minHeight) {
        const QSize frameExtra = outer() - w->size();
        const int width = size.width() < minWidth ? px(minWidth) - frameExtra.width() : w->width();
        const int height =
            size.height() < minHeight ? px(minHeight) - frameExtra.height() : w->height();
        w->resize(width, height);
        size = QSize(twips(outer().width()), twips(outer().height()));
    }
    return size;
}

void Form::setDialogButtons(QPushButton* defaultButton, QAbstractButton* cancelButton) {
    isDialog_ = true;
    defaultButton_ = defaultButton;
    cancelButton_ = cancelButton;
    if (defaultButton) defaultButton->setDefault(true);
}

bool Form::handleDialogKey(QKeyEvent* event) {
    if (!isDialog_ || !window_) return false;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier) return false;
    auto press = [event](QAbstractButton* button) {
        event->accept();
        if (button && button->isEnabled() && button->isVisible()) button->click();
        return true;
    };
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(window_->focusWidget());
        return press(focused ? focused : defaultButton_.data());
    }
    if (event->key() == Qt::Key_Escape) {
        if (cancelButton_) return press(cancelButton_);
        event->accept();
        close();
        return true;
    }
    return false;
}

void Form::handleResize() {
    if (window_ && !unloading_) onResize();
}

bool Form::handleClose() {
    if (unloading_) return true;
    if (!queryClose()) return false;
    unloading_ = true;
    onUnload();
    QWidget* w = window_;
    window_ = nullptr;
    isDialog_ = false;
    unloading_ = false;
    if (w) {
        w->hide();
        w->deleteLater();
    }
    Q_EMIT unloaded();
    return true;
}

}  // namespace platform
