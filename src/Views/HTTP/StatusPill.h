#pragma once
// A response status on a capsule tinted by its class: a dot, the code ("ERR" for a failed send)
// and the status text.
#include <QWidget>

class StatusPill : public QWidget {
    Q_OBJECT
public:
    StatusPill(int status, const QString& text, QWidget* parent = nullptr);

    // "ERR" for status 0, otherwise the plain decimal code.
    static QString codeText(int status);
    QString code() const { return codeText(status_); }
    QString text() const { return text_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int status_;
    QString text_;
};
