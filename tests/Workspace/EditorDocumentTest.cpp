#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>

#include "Platform/TextFile.h"
#include "Editor/ExactText.h"
#include "Workspace/EditorDocument.h"
#include "support/TestSupport.h"

using testing_support::readBytes;
using testing_support::TempFolder;

namespace {
// Rewritten with a later time each (the nth), so the stamp always differs.
void rewriteLater(const QString& path, const QByteArray& content, int nth) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(10 * nth), QFileDevice::FileModificationTime));
}
} // namespace

TEST(EditorDocument, DirtyRuleUnderCanonicalEquivalence) {
    EditorDocument untitled;
    EXPECT_EQ(untitled.displayName(), "Untitled");
    EXPECT_EQ(untitled.language(), CodeLanguage::plain);
    EXPECT_FALSE(untitled.isDirty());

    EditorDocument doc(QStringLiteral("/tmp/a.txt"), QString::fromUtf8("caf\u00e9"));
    QSignalSpy textSpy(&doc, &EditorDocument::textChanged);
    QSignalSpy dirtySpy(&doc, &EditorDocument::isDirtyChanged);
    doc.setText(doc.text());  // announced, still clean
    doc.setText(QString::fromUtf8("cafe\u0301"));
    EXPECT_EQ(textSpy.count(), 2);
    EXPECT_FALSE(doc.isDirty());

    doc.setText(QStringLiteral("cafes"));
    doc.setText(QStringLiteral("cafe!"));
    EXPECT_EQ(dirtySpy.count(), 1);  // told when it turns dirty, not again per edit
    doc.setText(QString::fromUtf8("caf\u00e9"));  // typed and deleted again: still dirty
    EXPECT_TRUE(doc.isDirty());
}

TEST(EditorDocument, SaveFollowsTargetOrFailsWithReason) {
    TempFolder dir;
    EditorDocument untitled;
    untitled.setText(QStringLiteral("print(1)\n"));
    QString error;
    EXPECT_FALSE(untitled.save(std::nullopt, &error));  // nowhere to go
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(untitled.save(dir.file("notes.py")));
    EXPECT_EQ(untitled.displayName(), "notes.py");
    EXPECT_EQ(untitled.language(), CodeLanguage::python);
    EXPECT_FALSE(untitled.isDirty());

    const QString a = dir.write("a.txt", "old");
    EditorDocument doc(a, QStringLiteral("old"));
    doc.setText(QStringLiteral("{}"));
    error.clear();
    EXPECT_FALSE(doc.save(dir.file("missing/b.json"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(doc.url(), a);
    EXPECT_EQ(doc.savedText(), "old");
    EXPECT_TRUE(doc.isDirty());

    ASSERT_TRUE(doc.save(dir.file("b.json")));
    EXPECT_EQ(doc.url(), dir.file("b.json"));
    EXPECT_EQ(doc.language(), CodeLanguage::json);
    EXPECT_EQ(readBytes(a), "old");
    EXPECT_EQ(readBytes(dir.file("b.json")), "{}");
}

// A file opened, handed back unchanged by the editor and saved keeps every byte.
class RoundTrip : public ::testing::TestWithParam<std::pair<const char*, QByteArray>> {};

TEST_P(RoundTrip, OpenAndSaveKeepBytes) {
    TempFolder dir;
    const QString path = dir.write("f.txt", GetParam().second);
    const auto read = TextFile::readUtf8(path);
    ASSERT_TRUE(read.text.has_value()) << read.error.toStdString();
    EditorDocument doc(path, *read.text);
    doc.setText(doc.text());
    EXPECT_FALSE(doc.isDirty());
    ASSERT_TRUE(doc.save());
    EXPECT_EQ(readBytes(path), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    EditorDocument, RoundTrip,
    ::testing::Values(std::pair{"crlf", QByteArray("a\r\nb\r\n")}, std::pair{"cr", QByteArray("a\rb\r")},
                      std::pair{"mixed", QByteArray("a\r\nb\nc\rd")},
                      std::pair{"bom", QByteArray("\xEF\xBB\xBFhello\r\n")},
                      std::pair{"nbsp", QByteArray("a\xC2\xA0" "b\n")},
                      std::pair{"separators", QByteArray("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\xC2\x85")},
                      std::pair{"noFinalNewline", QByteArray("last")},
                      std::pair{"decomposed", QByteArray("cafe\xCC\x81\n")}),
    [](const auto& info) { return std::string(info.param.first); });

// Edits made in place decide dirtiness exactly as whole-text changes do.
TEST(EditorDocument, InPlaceEditsFollowTheDirtyRule) {
    const QString saved = QString::fromUtf8("caf\u00e9 na\u00efve\nx");
    const QStringList pieces = {QString::fromUtf8("\u0301"), "e", QString::fromUtf8("\u00e9"), "i",
                                QString::fromUtf8("\u0308"), "\n", QString()};
    for (unsigned seed = 1; seed <= 40; ++seed) {
        EditorDocument edited(QStringLiteral("/tmp/a.txt"), saved);
        EditorDocument whole(QStringLiteral("/tmp/a.txt"), saved);
        // And one that reads its text from an editor's, which the editor edits first.
        EditorDocument lent(QStringLiteral("/tmp/a.txt"), saved);
        ExactText live(saved);
        lent.lendText(&live);
        quint32 r = seed * 2654435761u;
        const auto next = [&r] { return (r = r * 1664525u + 1013904223u) >> 8; };
        for (int step = 0; step < 6; ++step) {
            const qsizetype at = next() % (edited.text().size() + 1);
            const qsizetype length = qMin<qsizetype>(edited.text().size() - at, next() % 3);
            const QString with = pieces[next() % pieces.size()];
            QString expected = edited.text();
            expected.replace(at, length, with);
            const quint64 revision = edited.textRevision();
            edited.replaceText(at, length, with);
            whole.setText(expected);
            lent.willReplace(at, length, with);
            live.replace({at, length}, with);
            lent.replaceText(at, length, with);
            ASSERT_EQ(edited.text(), expected);
            ASSERT_EQ(lent.isDirty(), whole.isDirty()) << "seed " << seed << " step " << step;
            EXPECT_GT(edited.textRevision(), revision);
            ASSERT_EQ(edited.isDirty(), whole.isDirty()) << "seed " << seed << " step " << step;
        }
    }
    // Replacing a precomposed letter by its decomposed form is no change.
    EditorDocument doc(QStringLiteral("/tmp/a.txt"), saved);
    doc.replaceText(3, 1, QString::fromUtf8("e\u0301"));
    EXPECT_FALSE(doc.isDirty());
    doc.replaceText(0, 1, QStringLiteral("C"));
    EXPECT_TRUE(doc.isDirty());
}

// A lent text that still shares the saved text's buffer: the saved text lets go of it before the
// first edit that makes them differ, and what is on disk is still told apart by what it holds.
TEST(EditorDocument, TheSavedTextLetsGoOfALentBufferBeforeAnEdit) {
    TempFolder dir;
    const QByteArray bytes = "caf\xc3\xa9 two";
    const QString path = dir.write("big.txt", bytes);
    EditorDocument doc(path, QString::fromUtf8(bytes));  // a buffer of its own, not static data
    doc.setDiskStamp(TextFile::stamp(path));
    ExactText live(doc.text());
    doc.lendText(&live);
    doc.willReplace(3, 1, QString::fromUtf8("e\u0301"));  // canonically the same text: kept
    EXPECT_FALSE(live.text().isDetached());
    doc.willReplace(4, 1, QStringLiteral("_"));
    EXPECT_TRUE(live.text().isDetached());
    live.replace({4, 1}, QStringLiteral("_"));
    doc.replaceText(4, 1, QStringLiteral("_"));
    EXPECT_TRUE(doc.isDirty());
    EXPECT_FALSE(doc.textIsSavedText());
    live.replace({4, 1}, QStringLiteral(" "));
    doc.replaceText(4, 1, QStringLiteral(" "));
    EXPECT_TRUE(doc.isDirty());  // only a save or a reload makes it clean

    int later = 0;
    const auto rewrite = [&](const QByteArray& content) { rewriteLater(path, content, ++later); };
    rewrite(bytes);
    EXPECT_EQ(doc.diskChange(), EditorDocument::DiskChange::none);
    rewrite("caf\xc3\xa9 twO");
    EXPECT_EQ(doc.diskChange(), EditorDocument::DiskChange::changed);
    ASSERT_TRUE(doc.save());
    EXPECT_EQ(readBytes(path), bytes);
    EXPECT_FALSE(doc.isDirty());
    EXPECT_TRUE(doc.textIsSavedText());
    EXPECT_EQ(doc.diskChange(), EditorDocument::DiskChange::none);
}

// A text lent by an editor is read, saved and kept without a copy of it being made.
TEST(EditorDocument, ALentTextIsReadInPlaceAndKeptWhenTheLoanEnds) {
    EditorDocument doc(QStringLiteral("/tmp/a.txt"), QStringLiteral("abc"));
    ExactText live(doc.text() + u'd');
    doc.lendText(&live);
    doc.replaceText(3, 0, QStringLiteral("d"));
    EXPECT_EQ(doc.text().constData(), live.text().constData());
    EXPECT_TRUE(doc.isDirty());
    TempFolder dir;
    ASSERT_TRUE(doc.save(dir.file(QStringLiteral("lent.txt"))));
    EXPECT_EQ(readBytes(dir.file(QStringLiteral("lent.txt"))), QByteArray("abcd"));
    EXPECT_TRUE(doc.textIsSavedText());
    doc.lendText(nullptr);
    EXPECT_EQ(doc.text().constData(), live.text().constData());  // shared, not copied
    live.reset(QString());
    EXPECT_EQ(doc.text(), QStringLiteral("abcd"));
    // Text set from outside ends a loan.
    ExactText other(QStringLiteral("xyz"));
    doc.lendText(&other);
    doc.setText(QStringLiteral("new"));
    other.reset(QString());
    EXPECT_EQ(doc.text(), QStringLiteral("new"));
}

// Runs of typing and taking back, jumps elsewhere, reads only now and then, and a save: the text
// read and the bytes written are always the edits replayed one by one.
TEST(EditorDocument, EditsHeldBetweenReadsReadAndSaveAsMade) {
    {  // typed text, then Home and Delete: the first typed character goes, not the last
        EditorDocument doc(QStringLiteral("/tmp/a.txt"), QStringLiteral("x\n"));
        for (int i = 0; i < 3; ++i) doc.replaceText(i, 0, QString(QChar(u'a' + i)));
        doc.replaceText(0, 1, QString());
        EXPECT_EQ(doc.text(), "bcx\n");
    }
    const QString start = QStringLiteral("first line\r\nsecond line\nthird\n");
    for (unsigned seed = 1; seed <= 30; ++seed) {
        EditorDocument doc(QStringLiteral("/tmp/a.txt"), start);
        EXPECT_TRUE(doc.textIsSavedText());
        doc.replaceText(0, 1, QStringLiteral("F"));  // dirty from here on
        EXPECT_FALSE(doc.textIsSavedText());
        QString expected = start;
        expected.replace(0, 1, QStringLiteral("F"));
        quint32 r = seed * 2654435761u;
        const auto next = [&r] { return (r = r * 1664525u + 1013904223u) >> 8; };
        qsizetype caret = next() % (expected.size() + 1);
        for (int step = 0; step < 60; ++step) {
            const unsigned kind = next() % 11;
            if (kind < 6) {  // type on at the caret
                const QString typed = QString(QChar(u'a' + next() % 26)).repeated(1 + next() % 2);
                doc.replaceText(caret, 0, typed);
                expected.insert(caret, typed);
                caret += typed.size();
            } else if (kind < 8 && caret > 0) {  // take back before the caret
                const qsizetype n = qMin<qsizetype>(caret, 1 + next() % 3);
                doc.replaceText(caret - n, n, QString());
                expected.remove(caret - n, n);
                caret -= n;
            } else if (kind == 8) {  // elsewhere, replacing
                caret = next() % (expected.size() + 1);
                const qsizetype n = qMin<qsizetype>(expected.size() - caret, next() % 3);
                doc.replaceText(caret, n, QStringLiteral("<>"));
                expected.replace(caret, n, QStringLiteral("<>"));
                caret += 2;
            } else if (kind == 9) {  // forward delete after the caret, the caret somewhere else now and then
                if (next() % 2) caret = next() % (expected.size() + 1);
                const qsizetype n = qMin<qsizetype>(expected.size() - caret, 1 + next() % 2);
                doc.replaceText(caret, n, QString());
                expected.remove(caret, n);
            } else {
                ASSERT_EQ(doc.text(), expected) << "seed " << seed << " step " << step;
            }
        }
        TempFolder dir;
        const QString path = dir.file(QStringLiteral("held.txt"));
        ASSERT_TRUE(doc.save(path));
        EXPECT_EQ(QString::fromUtf8(readBytes(path)), expected) << "seed " << seed;
        EXPECT_FALSE(doc.isDirty());
        EXPECT_EQ(doc.savedText(), expected);
        EXPECT_TRUE(doc.textIsSavedText());
    }
}

// The first edit of a text that still shares its buffer with the saved text reads none of it there,
// however large (the saved text's fingerprint was worked out when it was read), and what is on disk
// is still told apart by that fingerprint.
TEST(EditorDocument, TheFirstEditReadsNoneOfTheSavedTextHoweverLarge) {
    const auto hashedOnFirstEdit = [](qsizetype units) {
        TempFolder dir;
        QString content(units, u'a');
        content[units / 2] = u'b';
        const QByteArray bytes = content.toUtf8();
        const QString path = dir.write("big.txt", bytes);
        EditorDocument doc(path, content);
        doc.setDiskStamp(TextFile::stamp(path));
        content = QString();
        ExactText live(doc.text());
        doc.lendText(&live);
        doc.willReplace(1, 1, u"x");
        EXPECT_TRUE(live.text().isDetached());  // edited where it lies
        const qsizetype hashed = doc.unitsHashedOnEdit();
        live.replace({1, 1}, QStringLiteral("x"));
        doc.replaceText(1, 1, u"x");
        EXPECT_TRUE(doc.isDirty());
        int later = 0;
        const auto rewrite = [&](const QByteArray& now) { rewriteLater(path, now, ++later); };
        rewrite(bytes);
        EXPECT_EQ(doc.diskChange(), EditorDocument::DiskChange::none);
        QByteArray other = bytes;
        other[units / 2] = 'c';
        rewrite(other);
        EXPECT_EQ(doc.diskChange(), EditorDocument::DiskChange::changed);
        return hashed;
    };
    const qsizetype small = hashedOnFirstEdit(1000);
    EXPECT_EQ(hashedOnFirstEdit(4 * 1024 * 1024), small);
}

// A save started from the window makes and writes the bytes on another thread: the calling thread
// encodes, hashes and copies none of the text, however large, and the document turns clean (and
// follows the target) only once the file holds the text.
TEST(EditorDocument, ABackgroundSaveReadsNoneOfTheTextOnTheCallingThread) {
    const auto readHere = [] { return TextFile::unitsEncodedHere() + TextFingerprint::unitsHashedHere(); };
    const auto unitsReadBySaving = [&](qsizetype units) {
        TempFolder dir;
        QString content(units, u'a');
        content[units / 2] = u'\n';
        EditorDocument doc(std::nullopt, content);
        ExactText live(doc.text());
        content = QString();
        doc.lendText(&live);
        live.replace({0, 0}, QStringLiteral("z"));
        doc.replaceText(0, 0, u"z");
        const QString path = dir.file(QStringLiteral("big.txt"));
        QSignalSpy finished(&doc, &EditorDocument::saveFinished);
        const qsizetype before = readHere();
        QString error;
        EXPECT_TRUE(doc.saveInBackground(path, &error)) << error.toStdString();
        const qsizetype read = readHere() - before;
        EXPECT_TRUE(!finished.isEmpty() || finished.wait(120000));
        EXPECT_EQ(finished.value(0).value(0).toString(), QString());
        EXPECT_FALSE(doc.isDirty());
        EXPECT_EQ(doc.url(), path);
        EXPECT_EQ(readBytes(path), live.text().toUtf8());
        EXPECT_TRUE(doc.textIsSavedText());
        return read;
    };
    EXPECT_EQ(unitsReadBySaving(1000), 0);
    EXPECT_EQ(unitsReadBySaving(4 * 1024 * 1024), 0);
}

// What happens to the document while its text is being written: an edit meanwhile keeps it dirty
// while the file holds the text as it was; a failure is reported and changes nothing; and a document
// that goes away, or is saved again, first lets the write end, so no save is cut short.
TEST(EditorDocument, ABackgroundSaveEndsWholeWhateverHappensMeanwhile) {
    TempFolder dir;
    {
        EditorDocument doc(std::nullopt, QStringLiteral("first"));
        const QString path = dir.file(QStringLiteral("edited.txt"));
        ASSERT_TRUE(doc.saveInBackground(path));
        EXPECT_TRUE(doc.isSaving());
        doc.setText(QStringLiteral("second"));
        EXPECT_TRUE(doc.finishSaving());
        EXPECT_FALSE(doc.isSaving());
        EXPECT_TRUE(doc.isDirty());
        EXPECT_EQ(doc.url(), path);
        EXPECT_EQ(readBytes(path), "first");
        EXPECT_EQ(doc.diskChange(), EditorDocument::DiskChange::none);
        ASSERT_TRUE(doc.saveInBackground());
        ASSERT_TRUE(doc.save());  // waits for the one under way, then writes again
        EXPECT_EQ(readBytes(path), "second");
        EXPECT_FALSE(doc.isDirty());
    }
    {
        EditorDocument doc(dir.file(QStringLiteral("kept.txt")), QStringLiteral("old"));
        doc.setText(QStringLiteral("new"));
        QSignalSpy finished(&doc, &EditorDocument::saveFinished);
        ASSERT_TRUE(doc.saveInBackground(dir.file(QStringLiteral("missing/x.txt"))));
        doc.setText(QString::fromUtf16(u"half \xD800 of a pair"));
        ASSERT_TRUE(doc.saveInBackground());  // takes the outcome of the one under way first
        ASSERT_EQ(finished.size(), 1);
        EXPECT_FALSE(finished.value(0).value(0).toString().isEmpty());
        EXPECT_EQ(doc.url(), dir.file(QStringLiteral("kept.txt")));
        EXPECT_EQ(doc.savedText(), "old");
        EXPECT_FALSE(doc.finishSaving());
        EXPECT_EQ(finished.size(), 2);
        EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("kept.txt"))));
        EXPECT_TRUE(doc.isDirty());
        QString error;
        EditorDocument untitled;
        EXPECT_FALSE(untitled.saveInBackground(std::nullopt, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(untitled.isSaving());
    }
    const QString gone = dir.file(QStringLiteral("gone.txt"));
    const QString text(1024 * 1024, u'q');
    {
        EditorDocument doc(std::nullopt, text);
        ASSERT_TRUE(doc.saveInBackground(gone));
    }
    EXPECT_EQ(readBytes(gone), text.toUtf8());
}

// A large text is hashed a stretch at a time: equal texts still give one print, and a change of one
// unit on either side of where stretches meet, or stretches traded, gives another.
TEST(TextFingerprint, ALargeTextsPrintFollowsEveryUnit) {
    constexpr qsizetype kEdge = 1024 * 1024;
    QString text(9 * kEdge + 5, u'a');
    for (qsizetype i = 0; i < text.size(); i += 7) text[i] = QChar(char16_t(u'b' + i % 13));
    const TextFingerprint::Print print = TextFingerprint::of(text);
    EXPECT_EQ(TextFingerprint::of(QString(text.constData(), text.size())), print);
    for (const qsizetype at : {kEdge - 1, kEdge, 8 * kEdge, text.size() - 1}) {
        SCOPED_TRACE(at);
        QString changed(text.constData(), text.size());
        changed[at] = QChar(changed[at].unicode() + 1);
        EXPECT_NE(TextFingerprint::of(changed), print);
    }
    const QString traded = text.sliced(kEdge, kEdge) + text.first(kEdge) + text.sliced(2 * kEdge);
    EXPECT_NE(TextFingerprint::of(traded), print);
}

// Waiting for a save's read leaves the editor's text its own: the edit after it copies nothing.
TEST(EditorDocument, ASaveLetsGoOfTheTextOnceItHasReadIt) {
    TempFolder dir;
    QString content(9 * 1024 * 1024, u'a');
    EditorDocument doc(std::nullopt, content);
    content = QString();
    doc.awaitSaveRead();  // no save: returns at once
    ExactText live(doc.text());
    doc.lendText(&live);
    live.replace({0, 0}, QStringLiteral("z"));
    doc.replaceText(0, 0, u"z");
    QSignalSpy finished(&doc, &EditorDocument::saveFinished);
    ASSERT_TRUE(doc.saveInBackground(dir.file(QStringLiteral("big.txt"))));
    doc.awaitSaveRead();
    EXPECT_FALSE(live.isShared());
    const qsizetype read = live.unitsRead();
    live.replace({1, 0}, QStringLiteral("y"));
    doc.replaceText(1, 0, u"y");
    EXPECT_EQ(live.unitsRead(), read);
    EXPECT_TRUE(!finished.isEmpty() || finished.wait(120000));
    EXPECT_TRUE(doc.isDirty());
    EXPECT_EQ(readBytes(dir.file(QStringLiteral("big.txt"))).size(), 9 * 1024 * 1024 + 1);
}
