#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class QKeyEvent;

class QAbstractButton;
class QComboBox;
class QPushButton;

namespace platform {

// Window positions are designed in twips; 15 twips make one pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) {
    return twips / kTwipsPerPixel;
}
constexpr int twips(int pixels) {
    return pixels * kTwipsPerPixel;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}
// Places a control at a design position given in twips.
void placeTwips(QWidget* control, int left, int top, int width, int height);

// A drop-down list whose design width cannot show its widest item at the font in use grows
// to the left, into the free room beside it, keeping its right edge; it never shrinks.
void growToItems(QComboBox* list);

// A control's place in twips, as the layout routines read and set it. Every setter accepts a
// missing control, and a size below zero is refused the way the controls refuse it: that
// step is skipped. Layout code takes them in with `using namespace platform::geometry;`.
inline namespace geometry {
inline int leftOf(const QWidget* w) {
    return w ? twips(w->x()) : 0;
}
inline int topOf(const QWidget* w) {
    return w ? twips(w->y()) : 0;
}
inline int widthOf(const QWidget* w) {
    return w ? twips(w->width()) : 0;
}
inline int heightOf(const QWidget* w) {
    return w ? twips(w->height()) : 0;
}
inline void setLeft(QWidget* w, int left) {
    if (w) w->move(px(left), w->y());
}
inline void setTop(QWidget* w, int top) {
    if (w) w->move(w->x(), px(top));
}
inline void setWidth(QWidget* w, int width) {
    if (w && width >= 0) w->resize(px(width), w->height());
}
inline void setHeight(QWidget* w, int height) {
    if (w && height >= 0) w->resize(w->width(), px(height));
}
}  // namespace geometry

// A window of the programs: one process-wide object that keeps its fields for the whole run,
// while its on-screen window and controls exist only between load and close. Closing the
// window destroys the controls; showing it again makes them anew.
class Form : public QObject {
    Q_OBJECT
  public:
    explicit Form(const QString& objectName, QObject* parent = nullptr);
    ~Form() override;

    QWidget* widget() const { return window_; }
    bool isLoaded() const { return window_ != nullptr; }

    void load();  // makes the window and its controls without showing them
    void show();  // loads when needed, then shows the window modeless
    void hide();
    void close();  // as the user closing the window: may be refused by queryClose

    // Finds a control of the loaded window by its object name.
    template <typename T>
    T* control(const QString& name) const {
        return window_ ? window_->findChild<T*>(name) : nullptr;
    }

  Q_SIGNALS:
    void loaded();
    void unloaded();

  protected:
    virtual void onLoad(QWidget* window) = 0;  // make the controls and run the load step
    virtual void onResize() {}
    virtual bool queryClose() { return true; }  // false keeps the window open
    virtual void onUnload() {}                  // controls still exist while this runs

    // The keys of a dialog: Enter presses the button that has the focus, else the default
    // button; Esc presses the cancel button, or closes the window when there is none. Set
    // by the load step of a window that is a dialog; the buttons go with the controls.
    void setDialogButtons(QPushButton* defaultButton, QAbstractButton* cancelButton = nullptr);

    // Client-area size in twips (what the resize handlers lay out from).
    int scaleWidth() const;
    int scaleHeight() const;
    void setMinimumSizeTwips(int width, int height);
    // The window's outer size (frame included) in twips, after growing the window back to at
    // least the given outer size, as the layout routines with a fixed minimum do.
    QSize outerSizeTwips(int minWidth = 0, int minHeight = 0);

  private:
    friend class FormWindow;
    void handleResize();
    bool handleClose();
    // Whether a key the focused control left alone was a dialog key, and its button pressed.
    bool handleDialogKey(QKeyEvent* event);

    QPointer<QWidget> window_;
    bool isDialog_ = false;
    QPointer<QPushButton> defaultButton_;
    QPointer<QAbstractButton> cancelButton_;
    bool unloading_ = false;
};

}  // namespace platform
