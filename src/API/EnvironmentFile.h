#pragma once
// Reading environment files: "<name>.env" in line form (KEY=value) and "<name>.json" objects.
#include "API/APIEnvironment.h"

#include <QMap>
#include <QString>
#include <optional>

namespace EnvironmentFile {

// Nothing when the file cannot be read as UTF-8, or a ".json" file holds no JSON object.
std::optional<APIEnvironment> read(const QString& path);

// KEY=value lines; blank lines, "#" comments and lines without "=" are skipped; one pair of
// matching quotes around a value is removed; a later key replaces an earlier one.
QMap<QString, QString> parseLines(const QString& text);

// The members of a top-level JSON object as text: strings decoded, numbers exactly as written
// (so big integers keep every digit), true and false as "true" and "false", null as the empty
// text, nested arrays and objects as compact JSON. Nothing for invalid JSON or another top level.
std::optional<QMap<QString, QString>> parseJson(const QString& text);

} // namespace EnvironmentFile
