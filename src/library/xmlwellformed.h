#pragma once

// The reading rules of the XML layer that the parser underneath does not apply itself: what
// XML 1.0 (fifth edition) requires of names, comments, the XML declaration and the document
// type declaration, and the expansion of references (predefined entities, character
// references and the internal entities that the document type declares).

#include <QString>
#include <QStringView>

#include <string_view>

namespace pugi {
class xml_document;
}

namespace XmlWellFormed {

bool isNameStartChar(char32_t c);
bool isNameChar(char32_t c);
// A Name of UTF-8 text.
bool isName(std::string_view utf8);

// Checks the XML declaration at the very start of the text, if there is one; present tells
// whether there is. False for a malformed declaration.
bool checkDeclaration(QStringView text, bool& present);

// Entity expansion is bounded: a document whose references would expand to more than this
// many bytes in all (or nest deeper than kMaxEntityDepth) is refused rather than built.
constexpr long kMaxExpansion = 8L * 1024 * 1024;
constexpr int kMaxEntityDepth = 32;

// Applies the rules to a freshly parsed document (references left raw by the parser):
// checks names, comments, processing instructions, the top-level structure and the document
// type declaration, and replaces references by what they stand for. declarationAtStart says
// whether the text began with a checked declaration. False when the text is not well-formed.
bool finishDocument(pugi::xml_document& doc, bool declarationAtStart);

}  // namespace XmlWellFormed
