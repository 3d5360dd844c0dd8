#pragma once

#include <QtGlobal>

#include "platform/form.h"

// "配置信息": one check box that switches the version check at start-up on or off, saved by
// rewriting the whole config.ini.
class ConfigWndForm : public platform::Form {
    Q_OBJECT
  public:
    static ConfigWndForm& instance();

    // checkStr is the main window's checkUpdate: 0 ticks the box, 1 clears it, any other
    // value leaves it as it is. Loads the window when needed (without showing it).
    void setData(qint16 checkStr);

    // The text the settings are saved as: "[tolvar]", "version=" and "flag=" lines.
    static QString configText(const QString& version, qint16 flag);

  protected:
    void onLoad(QWidget* window) override;

  private:
    ConfigWndForm();
    void saveClicked();
};
