#include <gtest/gtest.h>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "EditorFixture.h"

namespace {

// A key typed while a save of the text is still reading it: the units of text the editor copied
// for it, checking the file ends up with the text as it was when the save began.
qsizetype copiedByAKeyDuringASave(qsizetype units) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    QString content(units, u'a');
    for (qsizetype i = 79; i < units; i += 80) content[i] = u'\n';
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content.toUtf8()) == units);
    }
    EditorFixture f(content, QStringLiteral("big.txt"), path);
    content = QString();
    f.select(10);
    f.type("z");  // the first edit lets go of the text as opened
    const QByteArray saving = f.text().toUtf8();
    QSignalSpy finished(&f.document, &EditorDocument::saveFinished);
    EXPECT_TRUE(f.document.saveInBackground());
    const qsizetype before = f.editor().text().unitsRead();
    f.type("y");
    const qsizetype copied = f.editor().text().unitsRead() - before;
    EXPECT_TRUE(!finished.isEmpty() || finished.wait(120000));
    EXPECT_EQ(finished.value(0).value(0).toString(), QString());
    QFile written(path);
    EXPECT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll() == saving);
    EXPECT_TRUE(f.document.isDirty());
    EXPECT_EQ(f.text().mid(10, 2), QStringLiteral("zy"));
    return copied;
}

} // namespace

TEST(SaveWhileTyping, AKeyDuringASaveOfALargeTextCopiesNoneOfIt) {
    EXPECT_EQ(copiedByAKeyDuringASave(9 * 1024 * 1024), 0);
    EXPECT_EQ(copiedByAKeyDuringASave(18 * 1024 * 1024), 0);
}
