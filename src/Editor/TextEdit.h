#pragma once
// One character edit, in UTF-16 offsets and zero-based row/column points; recorded by the
// text view and handed to the next highlighting call so a syntax tree can be edited in place.
#include <QtGlobal>

struct TextEdit {
    // A zero-based line and a UTF-16 column within that line.
    struct Point {
        qsizetype row = 0;
        qsizetype col = 0;
        friend bool operator==(const Point&, const Point&) = default;
    };

    qsizetype startChar = 0;
    qsizetype oldEndChar = 0;  // where the replaced text ended before the edit
    qsizetype newEndChar = 0;  // where the inserted text ends after the edit
    Point startPoint;
    Point oldEndPoint;  // in the text as it was before the edit
    Point newEndPoint;

    friend bool operator==(const TextEdit&, const TextEdit&) = default;
};
