#include "App/Application.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>

#include "App/EndSignals.h"
#include "App/MainWindow.h"
#include "App/TurnWatch.h"
#include "App/WindowManager.h"
#include "Platform/ResourceBundle.h"
#include "UI/AppIconImage.h"
#include "Views/WidgetFileChooser.h"
#include "Views/WidgetPrompter.h"

namespace Application {

namespace {
void applyDarkAppearance(QApplication& app) {
    app.setStyle(QStyleFactory::create("Fusion"));
    QPalette p;
    const QColor window(0x17, 0x17, 0x1f), base(0x0f, 0x0f, 0x17), text(0xe6, 0xe6, 0xee);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Highlight, QColor(0x8c, 0x6b, 0xff));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x90));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x70, 0x70, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x70, 0x80));
    app.setPalette(p);
}
} // namespace

int run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brimel Code"));
    QApplication::setApplicationVersion(QStringLiteral(BRIMEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("brimel"));
    ResourceBundle::path();  // a missing bundle is fatal
    applyDarkAppearance(app);
    if (const auto icon = AppIconImage::nsImage()) QApplication::setWindowIcon(QIcon(QPixmap::fromImage(*icon)));

    WidgetPrompter prompter;
    WidgetFileChooser chooser;
    Prompter::install(&prompter);
    FileChooser::install(&chooser);

    // Before any window or child process, so an end signal always takes the Quit command's road.
    EndSignals endSignals([] { return WindowManager::shared().requestQuit(); });
    WindowManager::shared().openWindow();
    TurnWatch::fromEnvironment(&app);
    const int code = app.exec();
    Prompter::install(nullptr);
    FileChooser::install(nullptr);
    return code;
}

} // namespace Application
