#pragma once

#include <QString>

namespace platform {

// Must run before the QApplication is made: settings that the embedded browser engine reads
// at start (shared GL contexts; as root, Chromium's sandbox cannot start; a runtime folder
// where the session has none), and the Chinese locale, from which the engine takes the
// language of its own pages (error pages, form validation messages).
void prepareApplication();

// After the QApplication exists: Qt's own texts (standard buttons, file dialogs, input
// boxes, the page context menu) in Chinese, from Qt's translations in the given folder
// (the system's translations folder when empty). A missing or unreadable file leaves those
// texts in English and the program works on. Returns how many translation files were loaded.
int installTranslations(const QString& folder = QString());

// The languages every page is asked for in ("zh-CN,zh").
QString acceptLanguage();

}  // namespace platform
