#pragma once

#include "platform/form.h"

// The workbench's start-up window: the script library by category and the tool buttons.
class MainWndForm : public platform::Form {
    Q_OBJECT
public:
    static MainWndForm& instance();

protected:
    void onLoad(QWidget* window) override;
    void onUnload() override;

private:
    MainWndForm();
};
