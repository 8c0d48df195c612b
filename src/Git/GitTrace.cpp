#include "Git/GitTrace.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace GitTrace {

Reading read(const QString& path) {
    Reading reading;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return reading;
    // Child ids count per git process (its "sid"): nested gits number theirs from 0 again.
    QHash<QString, QJsonObject> started;
    while (!file.atEnd()) {
        const QJsonObject event = QJsonDocument::fromJson(file.readLine()).object();
        const QString name = event.value(QLatin1String("event")).toString();
        const QString key = event.value(QLatin1String("sid")).toString() + u'#' +
                            QString::number(event.value(QLatin1String("child_id")).toInt());
        if (name == QLatin1String("child_start")) {
            started.insert(key, event);
            continue;
        }
        if (name != QLatin1String("child_exit") || event.value(QLatin1String("code")).toInt() == 0) continue;
        const QJsonObject child = started.value(key);
        if (child.value(QLatin1String("child_class")).toString() == QLatin1String("hook")) {
            reading.refusedHook = child.value(QLatin1String("hook_name")).toString();
            continue;
        }
        QStringList argv;
        for (const QJsonValue& a : child.value(QLatin1String("argv")).toArray()) argv << a.toString();
        // How git asks for a detached signature of what comes on standard input.
        if (argv.contains(QLatin1String("--status-fd=2")) && argv.contains(QLatin1String("-bsau")))
            reading.failedSigning = argv;
    }
    return reading;
}

} // namespace GitTrace
