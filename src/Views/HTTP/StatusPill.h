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
    // The status text as drawn: shortened at its end only when the pill is too narrow for it.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF textRoom() const;

    int status_;
    QString text_;
};
