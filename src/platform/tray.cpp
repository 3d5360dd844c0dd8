#include "platform/tray.h"

#include <QSystemTrayIcon>

namespace platform {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    icon_ = new QSystemTrayIcon(this);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    Q_EMIT restoreRequested();
            });
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::setToolTip(const QString& text) {
    tip_ = text;
    icon_->setToolTip(text);
}

void TrayIcon::setIcon(const QIcon& icon) {
    icon_->setIcon(icon);
}

void TrayIcon::setInTray(bool inTray) {
    inTray_ = inTray;
    if (QSystemTrayIcon::isSystemTrayAvailable()) icon_->setVisible(inTray);
}

void TrayIcon::simulateRestore() {
    Q_EMIT restoreRequested();
}

}  // namespace platform
