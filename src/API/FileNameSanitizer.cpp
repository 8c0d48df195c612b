#include "API/FileNameSanitizer.h"

#include "API/FormatText.h"

namespace FileNameSanitizer {

QString sanitizeFileName(const QString& name) {
    static constexpr QStringView removed = u"/\\:?*\"<>|";
    QString kept;
    kept.reserve(name.size());
    for (const QChar c : name)
        if (!removed.contains(c)) kept += c;
    QStringView safe = FormatText::trimmed(kept);
    while (safe.startsWith(u'.')) safe = FormatText::trimmed(safe.mid(1));
    return safe.toString();
}

} // namespace FileNameSanitizer
