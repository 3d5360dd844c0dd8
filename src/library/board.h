#pragma once

#include <QString>

#include "library/xmldocument.h"

namespace skinModule {

// Renders a board (`list` element) to the HTML that takes the place of the skin's
// "$BoardTemplate$" token. Values go in unescaped: a board may carry markup on purpose.
QString buildBoardHtml(const XmlNode& list);

}  // namespace skinModule
