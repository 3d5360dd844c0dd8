#pragma once

// The player program's windows wired together: the search button opens the search window of
// box files, and the program ends when the last of its open windows closes. A window hidden
// behind the tray icon is still open, so closing the search window while the player sits in
// the tray leaves the program running.
namespace playerProgram {

void prepare();

}  // namespace playerProgram
