#pragma once
// A request method's name in white on a capsule of the method's colour.
#include <QWidget>

#include "API/HTTPMethod.h"

class MethodBadge : public QWidget {
    Q_OBJECT
public:
    // width: the badge's least width; vertical padding around the text.
    MethodBadge(HTTPMethod method, qreal pointSize, int minWidth, int verticalPadding, QWidget* parent = nullptr);

    HTTPMethod method() const { return method_; }
    QString text() const { return HTTPMethods::rawValue(method_); }
    // The capsule's fill: the method's colour at 0.85.
    static QColor fillColour(HTTPMethod method);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HTTPMethod method_;
    int minWidth_;
    int verticalPadding_;
};
