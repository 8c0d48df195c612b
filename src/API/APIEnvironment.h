#pragma once
// A named set of values for {{name}} substitution, read from one environment file.
#include <QMap>
#include <QString>

struct APIEnvironment {
    QString name;                   // the file name without its last extension; the identity
    QMap<QString, QString> values;  // variable name to value

    const QString& id() const { return name; }
    bool operator==(const APIEnvironment& other) const = default;
};

size_t qHash(const APIEnvironment& environment, size_t seed = 0);
