#pragma once
// One file in quick open's list: the language symbol in its tint, the file name and, faint and
// shortened in the middle, its path inside the folder; on an accent highlight while selected.
#include <QWidget>

class QuickOpenRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 38;

    QuickOpenRow(const QString& path, const QString& relativePath, bool selected, QWidget* parent = nullptr);

    const QString& path() const { return path_; }
    const QString& relativePath() const { return relativePath_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

signals:
    void clicked();
    void hovered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    QString path_;
    QString name_;
    QString relativePath_;
    bool selected_;
};
