#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>

#include "Platform/SettingsStore.h"
#include "TestSupport.h"

TEST(SettingsStore, KeepsTypesAcrossReloadAndSignalsChanges) {
    testing_support::TempFolder dir;
    SettingsStore& s = SettingsStore::shared();
    const QString previous = s.filePath();
    s.setFilePath(dir.file("settings.json"));
    QSignalSpy spy(&s, &SettingsStore::changed);

    s.setValue("k.bool", true);
    s.setValue("k.num", 13);
    s.setValue("k.list", QJsonArray{"a", "b"});
    s.setValue("k.mixed", QJsonArray{"a", 2});
    EXPECT_EQ(spy.count(), 4);

    s.setFilePath(dir.file("settings.json"));  // reload from disk
    EXPECT_TRUE(s.boolean("k.bool", false));
    EXPECT_EQ(s.number("k.num", 0), 13);
    EXPECT_EQ(s.stringArray("k.list"), QStringList({"a", "b"}));
    EXPECT_FALSE(s.stringArray("k.mixed").has_value());
    EXPECT_FALSE(s.stringArray("k.num").has_value());
    EXPECT_EQ(s.string("k.bool", "fallback"), "fallback");  // wrong type falls back

    s.remove("k.bool");
    EXPECT_FALSE(s.contains("k.bool"));
    s.setValue("k.num", QJsonValue(QJsonValue::Undefined));  // no value: the key goes
    EXPECT_FALSE(s.contains("k.num"));
    const qsizetype before = spy.count();
    s.setValue("k.never", QJsonValue(QJsonValue::Undefined));
    EXPECT_EQ(spy.count(), before) << "nothing changed";
    s.setFilePath(previous);
}

TEST(SettingsStore, NumbersReadAsTheirControlsAllow) {
    testing_support::TempFolder dir;
    SettingsStore& s = SettingsStore::shared();
    const QString previous = s.filePath();
    const SettingsStore::NumberRange size{9, 24, 13};
    const QList<double> widths{2, 4, 8};
    const auto load = [&](const QByteArray& json) {
        s.setFilePath(dir.write("settings.json", json));
    };
    load(R"({"size": 1e308, "width": 1e308})");
    EXPECT_EQ(s.number("size", size), 24);
    EXPECT_EQ(s.choice("width", widths, 4), 8);
    load(R"({"size": -5, "width": 3})");  // between two widths: the larger
    EXPECT_EQ(s.number("size", size), 9);
    EXPECT_EQ(s.choice("width", widths, 4), 4);
    load(R"({"size": "big"})");
    EXPECT_EQ(s.number("size", size), 13);
    EXPECT_EQ(s.choice("width", widths, 4), 4);
    s.setFilePath(previous);
}

// A file the store cannot read is moved aside whole before anything is written, and the place is told
// once; a readable file keeps every key the program does not know through each write.
TEST(SettingsStore, NeverWritesOverAFileItCannotRead) {
    testing_support::TempFolder dir;
    SettingsStore& s = SettingsStore::shared();
    const QString previous = s.filePath();
    const QByteArray trailingComma = R"({"ziduduzovu.editor.fontSize": 18, "my.custom.note": "keep me",})";
    const QByteArray deep = QByteArray(5000, '[') + QByteArray(5000, ']');
    for (const QByteArray& bytes : {trailingComma, deep, QByteArray("[1, 2]")}) {
        const QString path = dir.write("bad/settings.json", bytes);
        s.setFilePath(path);
        EXPECT_FALSE(s.contains("my.custom.note"));
        s.setValue("ziduduzovu.onboarded", true);
        EXPECT_EQ(s.takeSetAsidePath(), path + ".unreadable");
        EXPECT_EQ(s.takeSetAsidePath(), std::nullopt) << "told once";
        EXPECT_EQ(testing_support::readBytes(path + ".unreadable"), bytes);
        s.setFilePath(path);
        EXPECT_TRUE(s.boolean("ziduduzovu.onboarded", false)) << "the new file is written and read back";
        QFile::remove(path + ".unreadable");
    }

    // An earlier file kept aside is not replaced by a later one.
    const QString path = dir.write("again/settings.json", "{");
    dir.write("again/settings.json.unreadable", "first");
    s.setFilePath(path);
    EXPECT_EQ(s.takeSetAsidePath(), path + ".unreadable-2");
    EXPECT_EQ(testing_support::readBytes(path + ".unreadable"), "first");

    // An empty file is simply no settings yet.
    s.setFilePath(dir.write("empty/settings.json", ""));
    EXPECT_EQ(s.takeSetAsidePath(), std::nullopt);

    s.setFilePath(dir.write("good/settings.json", R"({"my.custom.note": "keep me", "my.list": [1, "a"]})"));
    s.setValue("ziduduzovu.editor.fontSize", 18);
    s.remove("ziduduzovu.editor.fontSize");
    s.setFilePath(s.filePath());
    EXPECT_EQ(s.string("my.custom.note"), "keep me");
    EXPECT_EQ(s.value("my.list"), QJsonArray({1, "a"}));

    // Edited by hand meanwhile: what was added or changed there is kept, what was removed or set here
    // wins, and a file that no longer reads is moved aside like one found at the start.
    s.remove("my.list");
    s.setValue("mine", 1);
    dir.write("good/settings.json", R"({"my.custom.note": "edited", "my.list": [1], "mine": 0, "by.hand": 1})");
    s.setValue("other", 2);
    s.setFilePath(s.filePath());
    EXPECT_EQ(s.number("by.hand", 0), 1);
    EXPECT_EQ(s.string("my.custom.note"), "edited");
    EXPECT_EQ(s.number("mine", 0), 1);
    EXPECT_FALSE(s.contains("my.list"));
    dir.write("good/settings.json", R"({"by.hand": 2,)");
    s.setValue("other", 3);
    EXPECT_EQ(s.takeSetAsidePath(), s.filePath() + ".unreadable");
    EXPECT_EQ(testing_support::readBytes(s.filePath() + ".unreadable"), R"({"by.hand": 2,)");
    s.setFilePath(previous);
}

// A write the disk refuses (full, or over a size limit) leaves the settings file as it was, and the
// next write that the disk takes holds every setting, the refused ones included.
TEST(SettingsStore, AWriteTheDiskRefusesLeavesTheFileAsItWas) {
    testing_support::TempFolder dir;
    SettingsStore& s = SettingsStore::shared();
    const QString previous = s.filePath();
    const QByteArray before = R"({"ziduduzovu.recentFolders": ["/home/me/project"], "ziduduzovu.onboarded": true})";
    const QString path = dir.write("settings.json", before);
    s.setFilePath(path);

    // A size limit makes the system refuse the bytes the way a full disk does.
    testing_support::FileSizeLimit limit(16);
    ASSERT_TRUE(limit.active());
    s.setValue("ziduduzovu.session.folder", "/home/me/project");
    s.remove("ziduduzovu.onboarded");
    limit.lift();

    EXPECT_EQ(testing_support::readBytes(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left behind";
    s.setValue("ziduduzovu.editor.fontSize", 15);
    s.setFilePath(path);
    EXPECT_EQ(s.string("ziduduzovu.session.folder"), "/home/me/project");
    EXPECT_FALSE(s.contains("ziduduzovu.onboarded"));
    EXPECT_EQ(s.stringArray("ziduduzovu.recentFolders"), QStringList({"/home/me/project"}));
    EXPECT_EQ(s.number("ziduduzovu.editor.fontSize", 0), 15);
    s.setFilePath(previous);
}
