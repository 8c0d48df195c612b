#include "API/RequestFormatRegistry.h"

#include "API/BruFileFormat.h"
#include "API/HTTPFileFormat.h"

#include <QFileInfo>

namespace RequestFormatRegistry {

const QList<const RequestFileFormat*>& formats() {
    static const QList<const RequestFileFormat*> all{&HTTPFileFormat::format(), &BruFileFormat::format()};
    return all;
}

const QSet<QString>& allExtensions() {
    static const QSet<QString> all = [] {
        QSet<QString> extensions;
        for (const RequestFileFormat* format : formats()) extensions.unite(format->fileExtensions);
        return extensions;
    }();
    return all;
}

const RequestFileFormat* formatFor(const QString& fileName) {
    const QString extension = QFileInfo(fileName).suffix().toLower();
    for (const RequestFileFormat* format : formats())
        if (format->fileExtensions.contains(extension)) return format;
    return nullptr;
}

} // namespace RequestFormatRegistry
