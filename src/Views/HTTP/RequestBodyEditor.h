#pragma once
// The Body tab: a switch of body kinds and, below it, the body text or the form fields.
// Switching the kind never touches the text. Form fields are the body read as a form body
// (disabled fields included); editing them writes that text back.
#include <QList>
#include <QWidget>

#include "API/BodyKind.h"
#include "API/KeyValueItem.h"

class KeyValueEditor;
class QButtonGroup;
class QPlainTextEdit;
class QStackedLayout;

class RequestBodyEditor : public QWidget {
    Q_OBJECT
public:
    explicit RequestBodyEditor(QWidget* parent = nullptr);

    void show(BodyKind kind, const QString& body);
    void setReadOnly(bool readOnly);

    static QList<KeyValueItem> formFields(const QString& body);
    // Fields that read as before keep their spelling in previous.
    static QString formBody(const QList<KeyValueItem>& fields, const QString& previous = {});

    QPlainTextEdit* textEditor() const { return text_; }
    KeyValueEditor* formEditor() const { return form_; }
    void chooseKind(BodyKind kind);
    BodyKind shownKind() const { return kind_; }

signals:
    void kindChosen(BodyKind kind);
    void bodyEdited(const QString& body);

private:
    QButtonGroup* kinds_;
    QStackedLayout* pages_;
    QWidget* nonePage_;
    QPlainTextEdit* text_;
    KeyValueEditor* form_;
    BodyKind kind_ = BodyKind::none;
    QString body_;
};
