#pragma once
// Serialised forms of the layer's values as keyed records (JSON text):
//   Point      {"row": r, "column": c}
//   TSRange    {"points": [Point, Point], "bytes": [lower, upper]}
//   NamedRange {"nameComponents": ["a", "b"], "tsRange": TSRange}
// Decoding throws DecodingError for a missing key, a value of the wrong type, a range whose lower
// bound exceeds its upper bound, or text that is not a record.
#include <string>
#include <string_view>

#include "SyntaxTree/NamedRange.h"
#include "SyntaxTree/Point.h"
#include "SyntaxTree/TSRange.h"

namespace SyntaxTree::Coding {

struct DecodingError {
    enum Kind { keyNotFound, typeMismatch, dataCorrupted };
    Kind kind;
    std::string key;  // the key concerned, when there is one
};

std::string encode(const Point& point);
std::string encode(const TSRange& range);
std::string encode(const NamedRange& range);

Point decodePoint(std::string_view json);
TSRange decodeTSRange(std::string_view json);
NamedRange decodeNamedRange(std::string_view json);

} // namespace SyntaxTree::Coding
