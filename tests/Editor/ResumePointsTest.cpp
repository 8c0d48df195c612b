// Resume points moved lazily with edits read exactly as points moved one by one at every edit.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <vector>

#include "Editor/ResumePoints.h"

namespace {

using Point = ResumePoints::Point;

// Every point moved at every edit.
struct Eager {
    std::vector<Point> points;
    qsizetype confirmed = 0;

    void edit(qsizetype start, qsizetype oldEnd, qsizetype newEnd) {
        qsizetype stay = 0;
        while (stay < confirmed && points[size_t(stay)].horizon <= start) ++stay;
        std::vector<Point> kept(points.begin(), points.begin() + stay);
        for (qsizetype i = stay; i < confirmed; ++i) {
            const Point p = points[size_t(i)];
            if (p.position >= oldEnd) kept.push_back({p.position + newEnd - oldEnd, p.horizon + newEnd - oldEnd});
        }
        points = kept;
        confirmed = stay;
    }
    void addConfirmed(Point p) {
        if (confirmed > 0) p.horizon = qMax(p.horizon, points[size_t(confirmed - 1)].horizon);
        p.horizon = qMax(p.horizon, p.position);
        points.insert(points.begin() + confirmed++, p);
    }
    void dropCandidatesBefore(qsizetype offset) {
        while (confirmed < qsizetype(points.size()) && points[size_t(confirmed)].position < offset)
            points.erase(points.begin() + confirmed);
    }
    void confirmCandidates(qsizetype horizon) {
        for (size_t i = size_t(confirmed); i < points.size(); ++i) points[i].horizon = qMax(points[i].horizon, horizon);
        confirmed = qsizetype(points.size());
    }
    void dropCandidates() { points.resize(size_t(confirmed)); }
};

void expectSame(const ResumePoints& lazy, const Eager& eager, int step) {
    ASSERT_EQ(lazy.size(), qsizetype(eager.points.size())) << "step " << step;
    ASSERT_EQ(lazy.confirmed(), eager.confirmed) << "step " << step;
    for (qsizetype i = 0; i < lazy.size(); ++i) {
        ASSERT_EQ(lazy.at(i).position, eager.points[size_t(i)].position) << "step " << step << " point " << i;
        ASSERT_EQ(lazy.at(i).horizon, eager.points[size_t(i)].horizon) << "step " << step << " point " << i;
    }
}

} // namespace

TEST(ResumePoints, EditsAtOnePlaceAndElsewhereReadAsPointsMovedAtEveryEdit) {
    QRandomGenerator random(7);
    for (int round = 0; round < 40; ++round) {
        ResumePoints lazy;
        Eager eager;
        qsizetype length = 2000;
        qsizetype place = random.bounded(int(length));
        for (int step = 0; step < 300; ++step) {
            const int op = random.bounded(10);
            if (op < 5) {
                // Mostly typing and taking back at one place, sometimes a jump elsewhere.
                if (random.bounded(8) == 0) place = random.bounded(int(length + 1));
                const qsizetype removed = qMin<qsizetype>(length - place, random.bounded(3));
                const qsizetype inserted = random.bounded(3);
                lazy.edit(place, place + removed, place + inserted);
                eager.edit(place, place + removed, place + inserted);
                length += inserted - removed;
                place += inserted;
            } else if (op < 8) {
                // A point past the confirmed ones and before any candidate, as a scan lays one.
                const qsizetype after = eager.confirmed > 0 ? eager.points[size_t(eager.confirmed - 1)].position + 1 : 0;
                const qsizetype before = eager.confirmed < qsizetype(eager.points.size())
                                             ? eager.points[size_t(eager.confirmed)].position
                                             : length + 1;
                if (after >= before) continue;
                const qsizetype position = after + random.bounded(int(before - after));
                const Point p{position, position + random.bounded(40)};
                lazy.addConfirmed(p);
                eager.addConfirmed(p);
            } else if (op == 8) {
                const qsizetype offset = random.bounded(int(length + 1));
                lazy.dropCandidatesBefore(offset);
                eager.dropCandidatesBefore(offset);
            } else {
                const qsizetype horizon = random.bounded(int(length + 2));
                lazy.confirmCandidates(horizon);
                eager.confirmCandidates(horizon);
            }
            expectSame(lazy, eager, step);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(ResumePoints, DroppingTheCandidatesLeavesTheConfirmedPointsWhereTheTextMovedThem) {
    ResumePoints lazy;
    Eager eager;
    for (const qsizetype at : {10, 20, 30, 40}) {
        lazy.addConfirmed({at, at + 1});
        eager.addConfirmed({at, at + 1});
    }
    // Typed between the second and the third: those after are moved lazily, then met again.
    lazy.edit(25, 25, 28);
    eager.edit(25, 25, 28);
    lazy.confirmCandidates(50);
    eager.confirmCandidates(50);
    lazy.dropCandidates();
    eager.dropCandidates();
    expectSame(lazy, eager, 0);
    EXPECT_EQ(lazy.at(2).position, 33);

    // With candidates after them too.
    lazy.edit(15, 16, 15);
    eager.edit(15, 16, 15);
    ASSERT_TRUE(lazy.hasCandidates());
    lazy.dropCandidates();
    eager.dropCandidates();
    expectSame(lazy, eager, 1);
}
