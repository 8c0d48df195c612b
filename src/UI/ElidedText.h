#pragma once
// One line of text that takes the width its layout gives it and shortens itself (at its end or in
// its middle) only when that width is too small for the whole text.
#include <QColor>
#include <QFont>
#include <QWidget>

class ElidedText : public QWidget {
    Q_OBJECT
public:
    ElidedText(const QString& text, const QFont& font, const QColor& colour, Qt::TextElideMode mode, QWidget* parent = nullptr);

    QString text() const { return text_; }
    // The text as drawn at the current width.
    QString shownText() const;
    bool isElided() const { return shownText() != text_; }
    // The width the whole text needs.
    qreal fullWidth() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor colour_;
    Qt::TextElideMode mode_;
};
