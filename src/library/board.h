#pragma once

#include <QString>

#include "library/xmldocument.h"

namespace skinModule {

// Most characters a rendered board may have. A value that holds its own token multiplies the
// token at every further value of that name (a few dozen such values reach hundreds of
// millions of characters); a board that would pass this is refused.
constexpr qsizetype kMaxBoardHtmlLength = 8 * 1024 * 1024;

// Renders a board (`list` element) to the HTML that takes the place of the skin's
// "$BoardTemplate$" token. Values go in unescaped: a board may carry markup on purpose.
// A board whose HTML would pass kMaxBoardHtmlLength gives the empty text and sets *refused.
QString buildBoardHtml(const XmlNode& list, bool* refused = nullptr);

}  // namespace skinModule
