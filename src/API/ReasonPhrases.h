#pragma once
// The reason phrase shown for a status code; ours, never the server's.
#include <QString>

namespace ReasonPhrases {

// A fixed phrase for the common codes, a standard one for the rest, and the code's class
// ("Client Error", ...) for codes no list names.
QString statusText(int code);

} // namespace ReasonPhrases
