// Composes the theme's pieces on one page and saves it (and the application icon's artwork) as
// PNG files in the build directory, for looking at. Also checks that they render at all.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTest>
#include <QVBoxLayout>

#include "TestSupport.h"
#include "UI/AuroraBackground.h"
#include "UI/Blur.h"
#include "UI/Brand.h"
#include "UI/CascadeModifier.h"
#include "UI/GlassCard.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/LiquidGlassBackground.h"
#include "UI/LogoMark.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"
#include "UI/StatusDot.h"

namespace {

QString buildDir() { return QFileInfo(QStringLiteral(BRIMEL_BUNDLE_DIR)).absolutePath(); }

QLabel* text(const QString& s, int px, QFont::Weight weight, double alpha, QWidget* parent = nullptr) {
    auto* l = new QLabel(s, parent);
    QFont f = l->font();
    f.setPixelSize(px);
    f.setWeight(weight);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: rgba(255,255,255,%1); background: transparent;").arg(int(alpha * 255)));
    return l;
}

PressableButton* glassButton(const QString& symbol, const QString& title) {
    auto* b = new PressableButton(symbol, title);
    b->label().font.setPixelSize(13);
    b->label().font.setWeight(QFont::Medium);
    b->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.85f);
    b->label().symbolBrush = Brand::gradient(QRectF(0, 0, 1, 1));
    b->setPadding(QMarginsF(14, 10, 14, 10));
    liquidGlass(b, 12);
    return b;
}

// One half of the page: an aurora at the given intensity over the window's own dark background.
class Stage : public QWidget {
public:
    Stage(double intensity, QWidget* parent) : QWidget(parent), aurora_(new AuroraBackground(intensity, this)) {
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, QColor(0x1c, 0x1b, 0x22));
        setPalette(pal);
        aurora_->lower();
        QLabel* caption = text(QStringLiteral("AURORA · INTENSITY %1").arg(intensity, 0, 'f', 1), 10,
                               QFont::DemiBold, 0.45, this);
        caption->adjustSize();
        caption->move(24, 20);
    }

protected:
    void resizeEvent(QResizeEvent*) override { aurora_->setGeometry(rect()); }

private:
    AuroraBackground* aurora_;
};

QWidget* welcomeCard() {
    auto* content = new QWidget;
    auto* v = new QVBoxLayout(content);
    // Room below the buttons for their shadows, which the content widget would otherwise clip.
    v->setContentsMargins(0, 0, 0, 24);
    v->setSpacing(14);
    auto* logo = new LogoMark(72);
    v->addWidget(logo, 0, Qt::AlignHCenter);
    v->addSpacing(-26);  // the mark's glow already keeps room around it
    v->addWidget(new ShimmerText(QStringLiteral("Duzizoda Voza"), 40, QFont::Bold, ShimmerText::Design::rounded), 0,
                 Qt::AlignHCenter);
    auto* sub = text(QStringLiteral("A lightweight code editor, lit from within."), 13, QFont::Normal, 0.6);
    v->addWidget(sub, 0, Qt::AlignHCenter);
    v->addSpacing(10);
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    row->addStretch();
    row->addWidget(new GradientButton(QStringLiteral("folder.badge.plus"), QStringLiteral("Open Folder")));
    row->addWidget(glassButton(QStringLiteral("arrow.down.doc"), QStringLiteral("Clone Repository")));
    row->addStretch();
    v->addLayout(row);
    return new GlassCard(content, 30, false, Qt::AlignCenter, false);
}

QWidget* statusStrip() {
    auto* strip = new QWidget;
    liquidGlass(strip, 11);
    auto* h = new QHBoxLayout(strip);
    h->setContentsMargins(12, 4, 14, 4);
    h->setSpacing(8);
    h->addWidget(new StatusDot(Brand::palette()[3], 6));
    h->addWidget(text(QStringLiteral("Ready"), 11, QFont::Medium, 0.75));
    h->addSpacing(10);
    auto* branch = new PressableButton(QStringLiteral("arrow.triangle.branch"), QStringLiteral("main"));
    branch->label().font.setPixelSize(11);
    branch->label().font.setWeight(QFont::DemiBold);
    branch->label().symbolBrush = Brand::gradient(QRectF(0, 0, 1, 1));
    branch->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.8f);
    branch->setPadding(QMarginsF(6, 3, 6, 3));
    h->addWidget(branch);
    h->addStretch();
    h->addWidget(text(QStringLiteral("Ln 12, Col 4"), 11, QFont::Normal, 0.5));
    return strip;
}

QWidget* iconShelf() {
    auto* content = new QWidget;
    auto* grid = new QGridLayout(content);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(14);
    const QStringList names{"sidebar.left", "arrow.triangle.branch", "network", "magnifyingglass", "command",
                            "folder.badge.plus", "sparkles", "paperplane.fill", "clock.arrow.circlepath",
                            "checkmark.circle.fill", "doc.text", "curlybraces", "swift", "terminal", "gearshape",
                            "arrow.up.arrow.down.circle", "tray.full", "xmark"};
    for (int i = 0; i < names.size(); ++i) {
        auto* b = new PressableButton(names[i], QString());
        b->label().font.setPixelSize(17);
        b->label().symbolBrush = i % 3 == 0 ? QBrush(Brand::gradient(QRectF(0, 0, 1, 1)))
                                            : QBrush(QColor::fromRgbF(1, 1, 1, 0.75f));
        grid->addWidget(b, i / 6, i % 6);
    }
    return new GlassCard(content, 22, false, Qt::AlignCenter, false);
}

QWidget* composePage() {
    auto* page = new QWidget;
    page->resize(1440, 820);
    page->setAutoFillBackground(true);
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, Qt::black);
    page->setPalette(pal);
    auto* h = new QHBoxLayout(page);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);

    QWidget* left = new Stage(1.0, page);
    auto* lv = new QVBoxLayout(left);
    lv->setContentsMargins(40, 60, 40, 40);
    lv->addStretch();
    lv->addWidget(welcomeCard(), 0, Qt::AlignHCenter);
    lv->addStretch();
    h->addWidget(left, 1);

    QWidget* right = new Stage(0.5, page);
    auto* rv = new QVBoxLayout(right);
    rv->setContentsMargins(40, 60, 40, 32);
    rv->setSpacing(26);
    rv->addStretch();
    auto* title = new ShimmerText(QStringLiteral("Workbench"), 30, QFont::Bold, ShimmerText::Design::rounded);
    rv->addWidget(title, 0, Qt::AlignHCenter);
    QWidget* shelf = iconShelf();
    rv->addWidget(shelf, 0, Qt::AlignHCenter);
    auto* buttonRow = new QWidget;
    auto* buttons = new QHBoxLayout(buttonRow);
    buttons->setContentsMargins(0, 0, 0, 24);
    buttons->addStretch();
    auto* gotIt = new GradientButton(QStringLiteral("Got it"));
    buttons->addWidget(gotIt);
    buttons->addSpacing(14);
    auto* compact = new GradientButton(QStringLiteral("plus"), QStringLiteral("New Collection"));
    compact->setBaseScale(0.8);
    buttons->addWidget(compact);
    buttons->addStretch();
    rv->addWidget(buttonRow);
    // The column enters in a staggered cascade.
    cascade(title, 0.05, 12);
    cascade(shelf, 0.15, 12);
    cascade(buttonRow, 0.25, 12);
    rv->addStretch();
    rv->addWidget(statusStrip());
    h->addWidget(right, 1);
    return page;
}

// The application icon: white braces on a tile in the brand gradient, lit from the top.
QImage appIconArtwork() {
    constexpr int side = 512;
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF tile(40, 40, 432, 432);
    QPainterPath shape;
    shape.addRoundedRect(tile, 98, 98);
    p.fillPath(shape, Brand::gradient(tile));
    p.save();
    p.setClipPath(shape);
    // Depth: darker towards the bottom, a soft light along the top.
    QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
    shade.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.22f));
    shade.setColorAt(0.45, QColor::fromRgbF(1, 1, 1, 0));
    shade.setColorAt(1, QColor::fromRgbF(0.05f, 0.02f, 0.15f, 0.2f));
    p.fillRect(tile, shade);
    const int glyph = 300;
    const QPointF at(256 - glyph / 2.0, 256 - glyph / 2.0);
    const QImage braces = Icons::image(QStringLiteral("curlybraces"), glyph, Qt::white);
    // A soft drop shadow: the glyph darkened, widened and blurred.
    QImage shadow(glyph + 80, glyph + 80, QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter sp(&shadow);
        sp.drawImage(40, 40, Icons::image(QStringLiteral("curlybraces"), glyph, QColor::fromRgbF(0.12f, 0.03f, 0.35f, 0.6f)));
    }
    p.drawImage(at + QPointF(-40, -32), Blur::gaussian(shadow, 9));
    p.drawImage(at, braces);
    p.restore();
    QLinearGradient rim(tile.topLeft(), tile.bottomRight());
    rim.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.55f));
    rim.setColorAt(0.5, QColor::fromRgbF(1, 1, 1, 0.12f));
    rim.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.25f));
    p.setPen(QPen(QBrush(rim), 3));
    p.drawRoundedRect(tile.adjusted(1.5, 1.5, -1.5, -1.5), 96.5, 96.5);
    return img;
}

} // namespace

TEST(ThemeShowcase, ComposesThePageAndTheIconArtwork) {
    std::unique_ptr<QWidget> page(composePage());
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    testing_support::spin(1200);  // let the entrance springs and timelines run
    const QImage shot = page->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(1440, 820));
    EXPECT_TRUE(shot.save(buildDir() + "/theme-page.png"));
    // The left half is lit (full aurora), the right one dimmer (half intensity over grey).
    EXPECT_GT(QColor(shot.pixel(200, 300)).value(), 20);

    const QImage icon = appIconArtwork();
    EXPECT_EQ(icon.size(), QSize(512, 512));
    EXPECT_EQ(qAlpha(icon.pixel(5, 5)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(256, 256)), 255);
    EXPECT_TRUE(icon.save(buildDir() + "/AppIcon.png"));
}
