#pragma once
// The branch part of the status bar: the branch name with the ahead/behind counts and the number of
// changed files, a spinner in place of the branch symbol while a pull, push or fetch runs, and a
// click that opens the branch popover under it.
#include <QAbstractButton>
#include <QPointer>

class AppState;
class QLabel;

class BranchStatusButton : public QAbstractButton {
    Q_OBJECT
public:
    BranchStatusButton(AppState& app, const QString& branch, QWidget* parent = nullptr);

    QString branch() const;
    void setBranch(const QString& branch);

    // The pieces of the label, for whoever needs to read them.
    QWidget* spinner() const { return spinner_; }
    QLabel* symbol() const { return symbol_; }
    QLabel* ahead() const { return ahead_; }
    QLabel* behind() const { return behind_; }
    QLabel* changeCount() const { return changeCount_; }
    // The label's visible texts, left to right (the symbol or spinner left out).
    QStringList visibleTexts() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void sync();

    static constexpr int kMaxNameWidth = 240;

    QPointer<AppState> app_;
    QString branch_;
    QWidget* spinner_;
    QLabel* symbol_;
    QLabel* name_;
    QLabel* ahead_;
    QLabel* behind_;
    QLabel* bullet_;
    QLabel* changeCount_;
};

// Opens the branch popover for app under anchor.
void showBranchPopover(AppState& app, QWidget* anchor);
