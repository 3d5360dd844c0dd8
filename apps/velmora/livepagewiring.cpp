#include "livepagewiring.h"

#include "livepage/debugwndform.h"
#include "livepage/recordwndform.h"
#include "workbench/mainwndform.h"
#include "workbench/scriptwndform.h"

void wireLivePageWindows() {
    auto showRecorder = [] { RecordWndForm::instance().show(); };
    MainWndForm::instance().windows.showRecordWindow = showRecorder;
    ScriptWndForm::instance().windows.showRecordWindow = showRecorder;
    ScriptWndForm::instance().windows.showDebugWindow = [] { DebugWndForm::instance().show(); };
}
