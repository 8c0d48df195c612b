#pragma once
// Keeps a plain-text editor from wrapping a line too long to read wrapped. Wrapping lays a line
// out piece by piece at a cost that grows with the square of its length (seconds per key for a
// body of minified JSON), while a line laid out whole costs in proportion to it. Text without
// such a line wraps as usual.
#include <QObject>

class QPlainTextEdit;

class LongLineWrap : public QObject {
public:
    // The longest line that is still wrapped.
    static constexpr int kLongestWrapped = 10000;

    // Watches the editor's document; owned by the editor.
    explicit LongLineWrap(QPlainTextEdit* editor);

private:
    // Decided before the changed lines are laid out: a long line pasted or set is never wrapped first.
    void changed(int from, int added);

    QPlainTextEdit* editor_;
};
