// Renders the collections panel and the request editor with a response offscreen; saves the
// pictures when BRIMEL_SCREENSHOT_DIR names a folder, so they can be looked at.
#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

#include "AppState.h"
#include "TestSupport.h"
#include "Views/HTTP/RequestCollectionsPanel.h"
#include "Views/HTTP/RequestView.h"
#include "Views/HTTP/ResponseView.h"

using namespace testing_support;

namespace {

void keep(QWidget& widget, const QString& name) {
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull());
    // Something besides the background is drawn.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8);
    const QString dir = qEnvironmentVariable("BRIMEL_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QDir(dir).filePath(name));
}

} // namespace

TEST(HTTPScreens, PanelAndRequestEditorWithAResponse) {
    TempFolder dir;
    dir.write("users/users.http", "### List users\nGET https://api.example.com/users\n\n### Create user\nPOST https://api.example.com/users\n"
                                  "Content-Type: application/json\n\n{\"name\":\"Ada\"}\n\n### Delete user\nDELETE https://api.example.com/users/1\n");
    dir.write("Auth/login.http", "### Login\nPOST https://api.example.com/login\n\n### Head\nHEAD https://api.example.com/\n");
    dir.write("environments/local.env", "host=localhost\n");
    AppState app;
    app.openFolder(dir.path());
    const APICollectionFile file = *std::find_if(app.api().collections().begin(), app.api().collections().end(),
                                                 [](const APICollectionFile& f) { return f.url.endsWith("users.http"); });
    app.openRequest(file.requests[1], file);

    QWidget sidebar;  // the window's dark background, which the panel draws over
    sidebar.setAutoFillBackground(true);
    QPalette dark = sidebar.palette();
    dark.setColor(QPalette::Window, QColor(24, 24, 32));
    sidebar.setPalette(dark);
    auto* panel = new RequestCollectionsPanel(app, &sidebar);
    sidebar.resize(280, 520);
    panel->resize(280, 520);
    sidebar.show();
    keep(sidebar, "collections_panel.png");

    HTTPResponse response;
    response.status = 201;
    response.statusText = "Created";
    response.headers = {{"Content-Type", "application/json; charset=utf-8"}, {"date", "Mon, 01 Jan 2024 10:00:00 GMT"}};
    response.body = R"({"name":"Ada","id":7,"tags":["admin","ops"],"active":true})";
    response.size = response.body.size();
    response.duration = 0.182;
    app.history().record(file.requests[1], file.requests[1].url, response);
    RequestView view(app, file, file.requests[1]);
    view.resize(900, 680);
    view.show();
    app.replay(app.history().entries().first().id);
    view.responseView()->aiPanel()->setExpanded(true);
    spin(50);
    keep(view, "request_view.png");
}
