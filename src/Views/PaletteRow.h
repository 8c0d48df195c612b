#pragma once
// One selectable line of an overlay's result list: symbol, title and an optional trailing note,
// on an accent highlight while selected. Its whole rectangle takes clicks and hovering.
#include <QWidget>

class PaletteRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 38;

    PaletteRow(const QString& icon, const QString& title, const QString& trailing, bool selected,
               QWidget* parent = nullptr);

    QString icon() const { return icon_; }
    QString title() const { return title_; }
    QString trailing() const { return trailing_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;

signals:
    void clicked();
    void hovered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    QString icon_;
    QString title_;
    QString trailing_;
    bool selected_;
};
