#include <gtest/gtest.h>

#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "TestSupport.h"
#include "UI/Brand.h"
#include "UI/GradientButton.h"
#include "UI/PressableButton.h"

namespace {
bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

TEST(GradientButton, HorizontalVioletToPinkFillAndHairline) {
    GradientButton button("Got it");
    EXPECT_GT(button.sizeHint().width(), button.label().size().width());  // the label has room around it

    QImage face(200, 44, QImage::Format_ARGB32_Premultiplied);
    face.fill(Qt::transparent);
    {
        QPainter p(&face);
        GradientButton::paintFace(p, face.rect(), SymbolLabel{});
    }
    EXPECT_TRUE(near(face.pixelColor(14, 30), Brand::palette()[0], 12));
    EXPECT_TRUE(near(face.pixelColor(186, 30), Brand::palette()[2], 12));
    // Top and bottom at the same x match: the fill does not run diagonally.
    EXPECT_TRUE(near(face.pixelColor(100, 6), face.pixelColor(100, 38), 3));
    // The white hairline lightens the edge.
    const QColor edge = face.pixelColor(100, 0), inside = face.pixelColor(100, 6);
    EXPECT_GT(edge.lightness(), inside.lightness());
    // Rounded corners leave the very corner clear.
    EXPECT_EQ(qAlpha(face.pixel(0, 0)), 0);
}

TEST(PressableStyle, HoldingShrinksToNinetySixPercentAndReleasingSpringsBack) {
    for (bool gradient : {false, true}) {
        SCOPED_TRACE(gradient);
        QWidget host;
        host.resize(300, 120);
        QAbstractButton* button = gradient ? static_cast<QAbstractButton*>(new GradientButton("Go", &host))
                                           : new PressableButton("plus", "Add", &host);
        const PressableStyle& style = gradient ? static_cast<GradientButton*>(button)->pressable()
                                               : static_cast<PressableButton*>(button)->pressable();
        button->setGeometry(40, 30, 120, 44);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host, 60000));
        EXPECT_EQ(style.scale(), 1.0);
        int clicks = 0;
        QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
        QList<qreal> seen;
        QObject::connect(&style, &PressableStyle::scaleChanged, [&](qreal s) { seen << s; });

        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 22));
        EXPECT_EQ(style.scale(), 1.0);  // springs there rather than jumping
        ASSERT_TRUE(testing_support::waitUntil([&] { return style.scale() == PressableStyle::kPressedScale; }, 120000));
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](qreal s) { return s < 1.0 && s > 0.965; }));
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 22));
        ASSERT_TRUE(testing_support::waitUntil([&] { return style.scale() == 1.0; }, 120000));
        EXPECT_EQ(clicks, 1);
    }
}

TEST(PressableButton, PaintsItsLabelShrunkWhilePressed) {
    PressableButton button("circle", QString());
    button.label().symbolBrush = QBrush(Qt::white);
    button.label().font.setPixelSize(100);
    button.setPadding(QMarginsF(4, 4, 4, 4));
    button.resize(button.sizeHint());
    button.setFocusPolicy(Qt::NoFocus);  // the label alone: no focus ring around it
    button.show();
    auto inkWidth = [&] {
        QImage img(button.size(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        button.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        int left = img.width(), right = -1;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (qAlpha(img.pixel(x, y)) > 128) left = std::min(left, x), right = std::max(right, x);
        return right - left;
    };
    const int rest = inkWidth();
    QTest::mousePress(&button, Qt::LeftButton);
    ASSERT_TRUE(testing_support::waitUntil([&] { return button.pressable().scale() == 0.96; }, 120000));
    EXPECT_LT(inkWidth(), rest);
    QTest::mouseRelease(&button, Qt::LeftButton);
}

// Over a view that redraws at every frame the button is drawn again from what it last looked like:
// it paints itself afresh only when its own look changes (the focus ring, the label, the size).
TEST(GradientButton, RepaintsItselfOnlyWhenItsLookChanges) {
    QWidget host;
    host.resize(300, 160);
    auto* below = new QWidget(&host);
    below->setGeometry(host.rect());
    auto* other = new QPushButton("x", &host);
    other->setGeometry(0, 0, 20, 20);
    auto* button = new GradientButton("Go", &host);
    button->setGeometry(60, 50, 140, 44);
    PaintCounter paints;
    button->installEventFilter(&paints);
    host.show();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host, 60000));
    const auto grab = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        return host.grab().toImage();
    };
    const QImage rest = grab();
    const int first = paints.count;
    ASSERT_GT(first, 0);
    for (int i = 0; i < 5; ++i) {
        below->repaint();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(paints.count, first);

    button->setFocus(Qt::TabFocusReason);
    const QImage focused = grab();
    EXPECT_GT(paints.count, first);
    EXPECT_NE(focused, rest);  // the ring shows
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(grab(), rest);

    button->label().text = "Go further";
    button->update();
    EXPECT_NE(grab(), rest);
}
