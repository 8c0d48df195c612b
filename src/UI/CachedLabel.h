#pragma once
// A label that lays out and draws its text once and keeps the picture: over an animated backdrop
// it is repainted at every frame, and then only copies that picture. When the text, its
// alignment or wrapping, the font, the colours or the size change, the label draws itself as
// usual and makes a new picture just after.
#include <QImage>
#include <QLabel>

class CachedLabel : public QLabel {
    Q_OBJECT
public:
    explicit CachedLabel(const QString& text, QWidget* parent = nullptr);

    // How many times the picture was made.
    int picturesMade() const { return picturesMade_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool pictureIsStale() const;
    // Draws the label into the picture: outside its paint events, which cannot nest.
    void makePicture();

    QImage picture_;
    QString pictured_;  // the text the picture shows, laid out as below
    Qt::Alignment picturedAlignment_;
    bool picturedWrap_ = false;
    bool stale_ = true;   // the font, colours or style changed since
    bool making_ = false;
    bool pending_ = false;  // a picture is to be made once the current repaint is over
    int picturesMade_ = 0;
};
