#pragma once

#include <QString>
#include <functional>
#include <memory>

class QWidget;

// Opens every window of the three programs in turn, filled with a sample script, a sample box
// and a sample page served on loopback, and hands each to a visitor while it shows on screen:
// the workbench's windows, the player's, the analyzer's two, Qt's dialogs as the programs
// show them (message box, input box, file dialogs) and the engine's error page.
//
// The windows are left loaded (hidden) afterwards; the process-wide program folder is the
// tour's own while the tour lives.
class WindowTour {
  public:
    WindowTour();
    ~WindowTour();

    using Visitor = std::function<void(const QString& name, QWidget* window)>;
    void run(const Visitor& visit);

    // The names the tour visits, in order.
    static QStringList stops();

  private:
    struct State;
    std::unique_ptr<State> d_;
};
