// Test entry: a Qt application object, offscreen, with every per-user location in a temp folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <sys/stat.h>

#include "Platform/ResourceBundle.h"
#include "Platform/SettingsStore.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    const QByteArray base = home.path().toUtf8();
    for (const char* sub : {"config", "data", "cache", "runtime"}) QDir().mkpath(home.path() + "/" + sub);
    setenv("XDG_CONFIG_HOME", base + "/config", 1);
    setenv("XDG_DATA_HOME", base + "/data", 1);
    setenv("XDG_CACHE_HOME", base + "/cache", 1);
    setenv("XDG_RUNTIME_DIR", base + "/runtime", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    chmod((base + "/runtime").constData(), 0700);

    QApplication app(argc, argv);
    SettingsStore::shared().setFilePath(home.path() + "/config/settings.json");
    ResourceBundle::setOverridePath(QStringLiteral(BRIMEL_BUNDLE_DIR));

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
