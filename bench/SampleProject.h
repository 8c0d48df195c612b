#pragma once
// A temporary folder holding one source file, every line of it made from one pattern (%1 the
// line's number), for benchmarks that open a project in a real window.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

struct SampleProject {
    QTemporaryDir dir;
    QString folder = dir.path() + "/project";
    QString file;

    SampleProject(const QString& name, int lines, const QString& pattern) : file(folder + "/" + name) {
        QDir().mkpath(folder);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        for (int i = 0; i < lines; ++i) f.write(pattern.arg(i).toUtf8() + '\n');
    }
};
