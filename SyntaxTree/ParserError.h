#pragma once
// What a parser throws. Only languageFailure is ever raised (the runtime refused the grammar).
#include "SyntaxTree/StringEncoding.h"

namespace SyntaxTree {

struct ParserError {
    enum Kind { unsupportedEncoding, languageIncompatible, languageFailure, languageInvalid };
    Kind kind;
    StringEncoding encoding = StringEncoding::utf16LittleEndian;  // for unsupportedEncoding only
};

} // namespace SyntaxTree
