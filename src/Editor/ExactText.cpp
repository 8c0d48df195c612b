#include "Editor/ExactText.h"

#include <algorithm>

#include "Platform/Lines.h"
#include "Platform/TextSplice.h"

namespace {
// QTextCursor::insertText starts a new block at these two as well.
bool isFrameMark(char16_t c) { return c == 0xFDD0 || c == 0xFDD1; }
}

ExactText::ExactText(QString text) { reset(std::move(text)); }

void ExactText::reset(QString text) {
    text_ = std::move(text);
    firstBreak_ = -2;
    indexCrlf();
    pieces_.reset(text_);
}

void ExactText::indexCrlf() {
    crlf_.clear();
    const QStringView text(text_);
    // From CR to CR: most texts have none, or one per line.
    for (qsizetype i = text.indexOf(u'\r'); i >= 0 && i + 1 < text.size(); i = text.indexOf(u'\r', i + 1))
        if (text[i + 1] == u'\n') crlf_.push_back(i);
}

ExactText::Change ExactText::replace(TextRange range, const QString& text) {
    const qsizetype n = text_.size();
    qsizetype a = qBound<qsizetype>(0, range.location, n);
    qsizetype b = qBound<qsizetype>(a, range.end(), n);
    QString t = text;
    const auto at = [&](qsizetype i) { return (i >= 0 && i < n) ? text_[i].unicode() : char16_t(0); };

    // Widen so the replaced range never splits a CR LF and the result never joins a CR to an LF
    // across its edges; each display block then stays one exact line.
    const char16_t firstAfter = t.isEmpty() ? at(b) : t.front().unicode();
    if (at(a - 1) == u'\r' && (at(a) == u'\n' || firstAfter == u'\n')) {
        --a;
        t.prepend(u'\r');
    }
    const char16_t lastBefore = t.isEmpty() ? at(a - 1) : t.back().unicode();
    if (at(b) == u'\n' && (at(b - 1) == u'\r' || lastBefore == u'\r')) {
        ++b;
        t.append(u'\n');
    }

    Change change;
    change.range = {a, b - a};
    // The separator of a piece break at a stays before the new text, one at b after it.
    change.displayStart = toDisplay(a);
    change.displayEnd = toDisplay(b) - (b > a && pieces_.isBreak(b) ? 1 : 0);
    change.displayText = display(t);
    const TextRange around = pieces_.around(text_, {a, b - a});
    const qsizetype aroundStart = toDisplay(around.location);
    const qsizetype aroundEnd = toDisplay(around.end()) - (pieces_.isBreak(around.end()) ? 1 : 0);

    // CR LF index: drop those inside [a, b), shift those after, add the new ones.
    const qsizetype delta = t.size() - (b - a);
    auto first = std::lower_bound(crlf_.begin(), crlf_.end(), a);
    auto last = std::lower_bound(first, crlf_.end(), b);
    for (auto it = last; it != crlf_.end(); ++it) *it += delta;
    std::vector<qsizetype> added;
    for (qsizetype i = 0; i + 1 < t.size(); ++i)
        if (t[i] == u'\r' && t[i + 1] == u'\n') added.push_back(a + i++);
    first = crlf_.erase(first, last);
    crlf_.insert(first, added.begin(), added.end());

    const bool addsBreak = t.contains(u'\n') || t.contains(u'\r');
    if ((firstBreak_ == -1 && addsBreak) || (firstBreak_ >= 0 && a <= firstBreak_ + 1)) firstBreak_ = -2;
    change.removed = text_.mid(a, b - a);
    TextSplice::replace(text_, a, b - a, t);
    if (pieces_.edit(text_, a, b - a, t.size(), around.location, around.end())) {
        // The pieces around the edit were broken afresh: the display takes them whole.
        change.displayStart = aroundStart;
        change.displayEnd = aroundEnd;
        change.displayText = displayOf(around.location, around.end() + delta);
    }
    change.text = std::move(t);
    return change;
}

qsizetype ExactText::withoutPieces(qsizetype exact) const {
    exact = qBound<qsizetype>(0, exact, text_.size());
    return exact - (std::lower_bound(crlf_.begin(), crlf_.end(), exact) - crlf_.begin());
}

qsizetype ExactText::toDisplay(qsizetype exact) const {
    exact = qBound<qsizetype>(0, exact, text_.size());
    return withoutPieces(exact) + pieces_.countUpTo(exact);
}

qsizetype ExactText::toExact(qsizetype display) const {
    // The separator of the j-th piece break stands at withoutPieces(break) + j; those before the
    // offset are not characters of the text.
    const std::vector<qsizetype>& breaks = pieces_.breaks();
    qsizetype lo = 0, hi = qsizetype(breaks.size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (withoutPieces(breaks[mid]) + mid < display) lo = mid + 1;
        else hi = mid;
    }
    return fromWithoutPieces(display - lo);
}

QString ExactText::displayOf(qsizetype from, qsizetype to) const {
    from = qBound<qsizetype>(0, from, text_.size());
    to = qBound<qsizetype>(from, to, text_.size());
    const std::vector<qsizetype>& breaks = pieces_.breaks();
    // Written in place, piece after piece: a long line is megabytes of them.
    QString out(to - from + std::distance(std::upper_bound(breaks.begin(), breaks.end(), from),
                                          std::lower_bound(breaks.begin(), breaks.end(), to)),
                Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(out.data());
    char16_t* end = start;
    for (auto it = std::upper_bound(breaks.begin(), breaks.end(), from); ; ++it) {
        const qsizetype pieceEnd = (it == breaks.end() || *it >= to) ? to : *it;
        end = displayInto(QStringView(text_).sliced(from, pieceEnd - from), end);
        if (pieceEnd == to) break;
        *end++ = kSeparator;
        from = pieceEnd;
    }
    out.truncate(end - start);
    return out;
}

qsizetype ExactText::fromWithoutPieces(qsizetype display) const {
    // The display offset of the j-th CR LF is crlf_[j] - j, strictly ascending.
    qsizetype lo = 0, hi = qsizetype(crlf_.size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (crlf_[mid] - mid < display) lo = mid + 1;
        else hi = mid;
    }
    return qBound<qsizetype>(0, display + lo, text_.size());
}

QString ExactText::display(QStringView exact) {
    QString out(exact.size(), Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(out.data());
    out.truncate(displayInto(exact, start) - start);
    return out;
}

char16_t* ExactText::displayInto(QStringView exact, char16_t* to) {
    for (qsizetype i = 0; i < exact.size();) {
        const char16_t c = exact[i].unicode();
        if (c >= 0x20 && c < 0x7F) {  // most of any text, shown as it is
            *to++ = c;
            ++i;
            continue;
        }
        const qsizetype t = Lines::terminatorLength(exact, i);
        if (t > 0) {
            *to++ = kSeparator;
            i += t;
            continue;
        }
        *to++ = isFrameMark(c) ? char16_t(QChar::ReplacementCharacter) : c;
        ++i;
    }
    return to;
}

QString ExactText::newline() const {
    if (firstBreak_ == -2) {
        const qsizetype lf = text_.indexOf(u'\n');
        const qsizetype cr = QStringView(text_).first(lf < 0 ? text_.size() : lf).indexOf(u'\r');
        firstBreak_ = cr >= 0 ? cr : lf;
    }
    if (firstBreak_ < 0 || text_[firstBreak_] == u'\n') return QStringLiteral("\n");
    return firstBreak_ + 1 < text_.size() && text_[firstBreak_ + 1] == u'\n' ? QStringLiteral("\r\n") : QStringLiteral("\r");
}
