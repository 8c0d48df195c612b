#pragma once
// A row of mutually exclusive segments, each standing for a value. A value no segment stands for
// selects none; clicking a segment selects it and announces its value.
#include <QJsonValue>
#include <QWidget>

class QPushButton;

class SegmentedPicker : public QWidget {
    Q_OBJECT
public:
    struct Option {
        QString label;
        QJsonValue value;
    };
    explicit SegmentedPicker(const QList<Option>& options, QWidget* parent = nullptr);

    // Selects the segment whose value equals value, or none.
    void select(const QJsonValue& value);
    // Index of the selected segment; -1 for none.
    int selectedIndex() const;
    QPushButton* segment(int index) const { return segments_.value(index); }
    int count() const { return int(segments_.size()); }

signals:
    void chosen(const QJsonValue& value);

private:
    QList<Option> options_;
    QList<QPushButton*> segments_;
};
