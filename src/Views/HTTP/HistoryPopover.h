#pragma once
// The popover of recent sends under the request editor's history button: newest first, each
// with status, method, name, URL, time and duration; a row shows that result again without
// sending, Clear forgets them all.
#include <QFrame>

#include "API/ResponseHistoryEntry.h"

class AppState;
class QAbstractButton;
class QScrollArea;
class QVBoxLayout;

class HistoryPopover : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 380;
    static constexpr int kListMaxHeight = 320;

    HistoryPopover(AppState& app, QWidget* parent = nullptr);

    // Opens a popover under anchor; it deletes itself when it closes.
    static HistoryPopover* showUnder(AppState& app, QWidget* anchor);

    static QString timeText(const QDateTime& timestamp);
    static QString durationText(double seconds);  // "250ms"

    QList<QAbstractButton*> rows() const;
    QAbstractButton* clearButton() const { return clear_; }
    bool showsEmptyNote() const;

signals:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void rebuild();
    QAbstractButton* makeRow(const ResponseHistoryEntry& entry, QWidget* parent);

    AppState& app_;
    QAbstractButton* clear_;
    QWidget* empty_;
    QScrollArea* scroll_;
};
