#pragma once

#include <QString>

#include "platform/form.h"

class QComboBox;

// "制作盒子": packs a skin of the "css" folder and a stored script of the "script" folder into
// a box file for the player. The three lists are fixed-choice; pathText names the box file.
class MakeBoxForm : public platform::Form {
    Q_OBJECT
  public:
    static MakeBoxForm& instance();

    // Writes the box of the two files to boxPath, replacing any file there. An unreadable
    // skin or script file only leaves its part empty; false when the box was not written.
    static bool makePackage(const QString& skinPath, const QString& scriptPath,
                            const QString& boxPath);

    // Selects, in each list in turn, the last entry equal to the name; choosing the category
    // refills the script list before the script name is looked for. A script file name, when
    // given, picks the entry of that file among entries of the same name. Loads the window
    // when needed (without showing it).
    void setBoxData(const QString& skinName, const QString& folderName, const QString& scriptName,
                    const QString& scriptFile = QString());

  protected:
    void onLoad(QWidget* window) override;

  private:
    MakeBoxForm();
    void fillFolderCombo();
    void fillSkinCombo();
    void fillScriptCombo();
    void newBoxPath();
    void pathClicked();
    void packageClicked();
    // The file behind the selected entry of a list ("" without a selection).
    static QString selectedFile(const QComboBox* combo);

    bool filling_ = false;
};

// Puts the box maker and the share window behind the main window's 打 包 and 分 享.
void wireBoxAndShareWindows();
