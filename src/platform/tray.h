#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace platform {

// A notification-area icon with the three things the player uses: the tip text, whether the
// icon is in the tray, and the restore event (a click or double-click on the icon).
// Where the desktop has no notification area the state is still kept, so the program's
// own logic runs the same.
class TrayIcon : public QObject {
    Q_OBJECT
  public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    void setToolTip(const QString& text);
    QString toolTip() const { return tip_; }

    void setIcon(const QIcon& icon);

    void setInTray(bool inTray);
    bool inTray() const { return inTray_; }

    // Raises the restore event as a click on the icon would; tests use it.
    void simulateRestore();

  Q_SIGNALS:
    void restoreRequested();

  private:
    QSystemTrayIcon* icon_ = nullptr;
    QString tip_;
    bool inTray_ = false;
};

}  // namespace platform
