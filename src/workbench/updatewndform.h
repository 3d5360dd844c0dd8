#pragma once

#include <QString>

#include "platform/form.h"

// "软件升级": the installed and the published version side by side, and a button that hands
// the download address to the system's web browser (an http or https address only; any other
// is refused with a message). While loaded, its timer (Timer1) shows it again every second:
// brought back when hidden or minimised, and raised above the other windows when on show,
// without taking the keyboard focus. Closing it unloads it.
class UpdateWndForm : public platform::Form {
    Q_OBJECT
  public:
    static UpdateWndForm& instance();

    // version and url are line 1 and line 2 of the version file. Loads the window when
    // needed, fills it and shows it; the download button is enabled only when version differs
    // from the main window's version (exact text comparison).
    void setData(const QString& version, const QString& url);

    QString downloadUrl;

  protected:
    void onLoad(QWidget* window) override;

  private:
    UpdateWndForm();
    void timerTick();
    void downloadClicked();
};
