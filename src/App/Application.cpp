#include "App/Application.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QWidget>

#include "Platform/ResourceBundle.h"

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
    app.setPalette(p);
}
} // namespace

int run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brimel Code");
    QApplication::setApplicationVersion(BRIMEL_VERSION);
    ResourceBundle::path();  // fatal when the bundle is missing
    applyDarkAppearance(app);

    QWidget window;
    window.setWindowTitle("Brimel Code");
    window.setMinimumSize(1040, 720);
    window.resize(1280, 800);
    window.show();
    return app.exec();
}

} // namespace Application
