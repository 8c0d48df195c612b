#pragma once
// A name drawn in a row or a chip stays on one line: every line break it holds (a file may be
// named so) is shown as a space.
#include <QString>

namespace SingleLine {
QString of(const QString& text);
}
