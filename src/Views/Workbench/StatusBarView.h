#pragma once
// The thin bar under the editor column: the product name by a pulsing dot, the branch button while
// the folder is a repository with a known branch, and on the right the caret position, language and
// unsaved marker of the active document.
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class AppState;
#include "Views/Workbench/BranchStatusButton.h"
class QHBoxLayout;
class QLabel;

class StatusBarView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 26;

    explicit StatusBarView(AppState& app, QWidget* parent = nullptr);

    BranchStatusButton* branchButton() const { return branch_.data(); }
    QLabel* productLabel() const { return product_; }
    QLabel* caretLabel() const { return caret_; }
    QLabel* languageLabel() const { return language_; }
    QLabel* unsavedLabel() const { return unsaved_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void syncBranch();
    void bindDocument();
    void syncDocument();

    QPointer<AppState> app_;
    QHBoxLayout* row_;
    QLabel* product_;
    QPointer<BranchStatusButton> branch_;
    QLabel* caret_;
    QLabel* language_;
    QLabel* unsaved_;
    QList<QMetaObject::Connection> documentLinks_;
};
