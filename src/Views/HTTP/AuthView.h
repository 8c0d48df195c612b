#pragma once
// The Auth tab: a draft of the request's authentication, derived from its headers and
// parameters each time the tab is shown, written back into them on every edit of the draft
// that changes them. Showing the tab writes nothing.
#include <QWidget>

#include "API/AuthConfig.h"
#include "API/HTTPRequest.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QStackedLayout;

class AuthView : public QWidget {
    Q_OBJECT
public:
    explicit AuthView(QWidget* parent = nullptr);

    static QString typeLabel(AuthType type);
    static QString hint(const AuthConfig& draft);

    // Shows the tab for a request: the draft is derived from it afresh.
    void appear(const HTTPRequest& request);
    const AuthConfig& draft() const { return draft_; }
    void setDraft(const AuthConfig& draft);
    const HTTPRequest& request() const { return request_; }
    void setReadOnly(bool readOnly);

    QComboBox* typeMenu() const { return type_; }
    QLabel* hintLabel() const { return hint_; }
    QLineEdit* tokenField() const { return token_; }
    QLineEdit* usernameField() const { return username_; }
    QLineEdit* passwordField() const { return password_; }
    QLineEdit* keyNameField() const { return keyName_; }
    QLineEdit* keyValueField() const { return keyValue_; }

signals:
    void requestEdited(const HTTPRequest& request);

private:
    // Writes the draft into the request, when that changes its headers or parameters.
    void propagate(const AuthConfig& draft);
    void fill();
    QLineEdit* secretField(const QString& placeholder, QString AuthConfig::*field);

    HTTPRequest request_;
    AuthConfig draft_;
    QComboBox* type_;
    QLabel* hint_;
    QStackedLayout* forms_;
    QLineEdit* token_;
    QLineEdit* username_;
    QLineEdit* password_;
    QLineEdit* keyName_;
    QLineEdit* keyValue_;
    QButtonGroup* keyIn_;
    bool filling_ = false;
};
