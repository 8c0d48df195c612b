#pragma once
// A text kept with a gap where it was last edited, so typing in one place moves only the units
// between one edit and the next instead of half the text, and nothing has to be copied whole once
// the text is held. The parser reads it in the runs on either side of the gap.
#include <QStringView>
#include <QtGlobal>
#include <string_view>
#include <vector>

class GapText {
public:
    GapText() = default;
    explicit GapText(QStringView text);

    qsizetype size() const { return qsizetype(buffer_.size()) - (gapEnd_ - gapStart_); }
    // Replaces length units at `at` by `with`; both are cut to the text.
    void replace(qsizetype at, qsizetype length, QStringView with);
    // The units from `at` up to the gap or the end, none past the end. A surrogate pair the gap
    // splits is handed over whole, from a copy. Valid until the next call or edit.
    std::u16string_view read(qsizetype at);
    // Units of the text moved or copied by edits so far (not those inserted).
    qint64 unitsMoved() const { return moved_; }

private:
    void moveGap(qsizetype to);
    // Gives the gap room for at least `need` units.
    void widenGap(qsizetype need);

    std::vector<char16_t> buffer_;
    qsizetype gapStart_ = 0;
    qsizetype gapEnd_ = 0;
    char16_t pair_[2] = {};
    qint64 moved_ = 0;
};
