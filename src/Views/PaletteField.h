#pragma once
// The input line at the top of an overlay card: a symbol filled with the brand gradient and a
// plain text field. The caller owns the text and decides what Return does.
#include <QLineEdit>
#include <QWidget>

class PaletteField : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 54;

    PaletteField(const QString& icon, const QString& placeholder, QWidget* parent = nullptr);

    QLineEdit* lineEdit() const { return edit_; }
    QString text() const { return edit_->text(); }
    void setText(const QString& text);

    bool isFocused() const { return edit_->hasFocus(); }
    void setFocused(bool focused);

signals:
    void textEdited(const QString& text);

private:
    QLineEdit* edit_;
};
