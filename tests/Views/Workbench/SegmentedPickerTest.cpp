// A segment that has the keyboard shows it plainly, the chosen one too; a click chooses without
// taking the keyboard, so no outline follows the pointer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "TestSupport.h"
#include "Views/Workbench/SegmentedPicker.h"

namespace {

// The largest difference of one colour channel between two pictures of one size.
int largestDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

TEST(SegmentedPickerTest, TheSegmentWithTheKeyboardStandsOutAndAClickLeavesTheKeyboardWhereItWas) {
    QWidget window;
    window.resize(400, 60);
    auto* before = new QPushButton(QStringLiteral("before"), &window);
    before->setGeometry(0, 0, 10, 10);
    auto* picker = new SegmentedPicker({{QStringLiteral("2 spaces"), 2}, {QStringLiteral("4 spaces"), 4}}, &window);
    picker->setGeometry(20, 15, 360, 30);
    picker->select(4);
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 60000));
    before->setFocus();
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        QPushButton* segment = picker->segment(i);
        const QImage resting = segment->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), segment);
        EXPECT_GE(largestDifference(resting, segment->grab().toImage()), 100) << "the outline is too faint to find";
    }
    before->setFocus();
    QTest::mouseClick(picker->segment(0), Qt::LeftButton);
    EXPECT_EQ(picker->selectedIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), before);
}

} // namespace
