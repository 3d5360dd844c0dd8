#pragma once

// Puts the recorder window behind the "录 制" buttons of the main window and the script
// window, and the debugger behind the script window's "调 试". The program calls it once at
// start-up.
void wireLivePageWindows();
