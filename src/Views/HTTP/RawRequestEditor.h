#pragma once
// The Raw tab: the request as the text of a request file, editable, taken over only by Apply.
#include <QWidget>

class PressableButton;
class QPlainTextEdit;

class RawRequestEditor : public QWidget {
    Q_OBJECT
public:
    explicit RawRequestEditor(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    // Typed into since the text was last set.
    bool isEdited() const { return edited_; }
    void setReadOnly(bool readOnly);
    QPlainTextEdit* editor() const { return editor_; }
    PressableButton* applyButton() const { return apply_; }

signals:
    void applyRequested();

private:
    QPlainTextEdit* editor_;
    PressableButton* apply_;
    bool edited_ = false;
};
