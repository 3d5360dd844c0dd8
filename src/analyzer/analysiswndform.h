#pragma once

#include "platform/form.h"

// The page analyzer's page viewer.
class analysisWndForm : public platform::Form {
    Q_OBJECT
  public:
    static analysisWndForm& instance();

  protected:
    void onLoad(QWidget* window) override;

  private:
    analysisWndForm();
};
