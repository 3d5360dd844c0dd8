#pragma once

#include <QString>

#include "platform/form.h"

// "关于Velmora": the installed version, the maker's credit lines and the address of the
// maker's web site, which a click opens in the system's web browser.
class AboutWndForm : public platform::Form {
    Q_OBJECT
  public:
    static AboutWndForm& instance();

    // The address behind Label4: the maker's web site.
    static QString siteAddress();

  protected:
    void onLoad(QWidget* window) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    AboutWndForm();
};
