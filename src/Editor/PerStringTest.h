#pragma once
// A test of strings that remembers its answer for the string it was last asked about. A Replace
// All's parts share their strings (one text taken away, one put in), so each is read once, not once
// per part.
#include <QString>
#include <QStringView>
#include <utility>

template <typename Test>
class PerStringTest {
public:
    explicit PerStringTest(Test test) : test_(std::move(test)) {}

    bool operator()(const QString& s) {
        // The same string shares its data: compared by where it lies, not unit by unit.
        if (s.constData() != last_.constData() || s.size() != last_.size()) {
            last_ = s;
            answer_ = test_(QStringView(s));
        }
        return answer_;
    }

private:
    Test test_;
    QStringView last_;
    bool answer_ = false;
};
