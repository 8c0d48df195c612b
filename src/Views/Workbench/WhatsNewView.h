#pragma once
// The release notes of one version as a sheet: logo, title, the version and headline, a glass card
// with the entry's points entering one after another, and "Got it".
#include <QDialog>

#include "WhatsNew.h"

class GradientButton;
class QLabel;

class WhatsNewView : public QDialog {
    Q_OBJECT
public:
    // The sheet's width, and its height unless the entry needs more.
    static constexpr int kSide = 480;

    explicit WhatsNewView(const WhatsNewEntry& entry, QWidget* parent = nullptr);

    const WhatsNewEntry& entry() const { return entry_; }
    QLabel* versionLine() const { return versionLine_; }
    QWidget* card() const { return card_; }
    // One widget per item, in order.
    const QList<QWidget*>& rows() const { return rows_; }
    GradientButton* gotIt() const { return gotIt_; }

    // "Version 0.4.5 · Per-project windows + fixes"
    static QString versionText(const WhatsNewEntry& entry);
    // When row i starts to enter, in seconds.
    static double rowDelay(int index) { return index * 0.06; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Return and Enter press "Got it", wherever the focus is in the sheet.
    void keyPressEvent(QKeyEvent* event) override;

private:
    WhatsNewEntry entry_;
    QWidget* background_;
    QLabel* versionLine_;
    QWidget* card_;
    QList<QWidget*> rows_;
    GradientButton* gotIt_;
};
