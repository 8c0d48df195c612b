#include <gtest/gtest.h>

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
