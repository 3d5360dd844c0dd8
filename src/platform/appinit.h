#pragma once

namespace platform {

// Must run before the QApplication is made: settings that the embedded browser engine reads
// at start (shared GL contexts; as root, Chromium's sandbox cannot start; a runtime folder
// where the session has none).
void prepareApplication();

}  // namespace platform
