#pragma once

#include <QtGlobal>

#include "livepage/browserhost.h"
#include "platform/form.h"

namespace platform {
class BrowserArray;
class WebBrowser;
}  // namespace platform

// "查看页面": the start-up window of the page analyzer. It shows the page under analysis in
// its browser array and owns the address row and the new-window mode; the node window builds
// its tree from, and runs expressions in, the element in use here. The node window's status
// label is driven from here: "加载中" when the user starts a navigation from the address row,
// "完 成" when a top-level document completes.
//
// Controls carry the object names of the design: Label1, Text1 (address box), newWndCombo,
// Command1 (navigation button) and analysisWB (element 0 of the browser array).
class analysisWndForm : public platform::Form {
    Q_OBJECT
  public:
    static analysisWndForm& instance();

    // Element of analysisWB in use; read by the node window.
    qint16 webIndex = 0;

    platform::BrowserArray* analysisWB() const { return host_.array(); }
    // The element webIndex names; nullptr while the window is closed.
    platform::WebBrowser* elementInUse() const { return host_.elementInUse(); }
    livePage::BrowserHost& host() { return host_; }

  protected:
    void onLoad(QWidget* window) override;
    void onResize() override;
    void onUnload() override;

  private:
    analysisWndForm();
    void layoutControls();

    qint16 newWindowMode_ = 0;
    livePage::BrowserHost host_;
};
