#pragma once

#include "platform/form.h"

// The box player's window.
class TolvarBoxForm : public platform::Form {
    Q_OBJECT
  public:
    static TolvarBoxForm& instance();

  protected:
    void onLoad(QWidget* window) override;

  private:
    TolvarBoxForm();
};
