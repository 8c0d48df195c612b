#pragma once
// The heading of one file's hits in project search: the language symbol in its tint and the
// file's path inside the folder, shortened in the middle when it is too long, on one line whatever
// the name holds.
#include <QWidget>

class SearchFileHeader : public QWidget {
    Q_OBJECT
public:
    SearchFileHeader(const QString& path, const QString& shownPath, QWidget* parent = nullptr);

    const QString& shownPath() const { return shownPath_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString path_;
    QString shownPath_;
};
