#pragma once

#include <QString>

#include "platform/form.h"

// "保存脚本": asks for a category folder and a script name, writes the current script
// document there and refreshes the main window's library. The folder list is filled when the
// window loads; hiding keeps it loaded, so a folder made later is offered after a reload.
class SaveWndForm : public platform::Form {
    Q_OBJECT
  public:
    static SaveWndForm& instance();

    // Offered when the library has no category folder yet; saving into it makes the folder.
    static QString defaultCategory();

    // What the user is told when a script would not load again as it is and was not saved.
    static QString unsavableScriptMessage();

    // Hides the dialog and empties the name box, as "取 消" does.
    void dismiss();

  protected:
    void onLoad(QWidget* window) override;

  private:
    SaveWndForm();
    void fillFolderList();
    void saveClicked();
    void exitClicked();
    bool offersDefaultCategory_ = false;
};
