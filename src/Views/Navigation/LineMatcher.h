#pragma once
// The lines of a UTF-8 text that hold a query, ignoring case and accent encoding exactly as
// SearchText::folded does. Most code is ASCII, so an ASCII query is looked for in the bytes with
// ASCII case folding; Unicode folding runs only on lines whose other characters could change the
// answer. Immutable once built: one matcher serves many threads at once.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include "Views/Navigation/SearchHit.h"

class LineMatcher {
public:
    explicit LineMatcher(const QString& query);

    // Appends a hit for every line of text (valid UTF-8) that holds the query, in line order,
    // until hits holds limit entries. Lines end at every terminator the editor knows. ascii says
    // that text has no byte above 0x7f, which the caller learnt while checking it.
    void scan(QByteArrayView text, bool ascii, const QString& file, QList<SearchHit>& hits, qsizetype limit) const;

    // No line can hold a query with a line break in it.
    bool matchesNothing() const { return impossible_; }

    // Offset of the first byte above 0x7f, or size when there is none.
    static qsizetype firstNonAscii(const char* data, qsizetype size);

private:
    void scanAsciiText(QByteArrayView text, const QString& file, QList<SearchHit>& hits, qsizetype limit) const;
    void scanLines(QByteArrayView text, const QString& file, QList<SearchHit>& hits, qsizetype limit) const;
    void scanMixedText(QByteArrayView text, const QString& file, QList<SearchHit>& hits, qsizetype limit) const;
    // Looks at the one line that starts at start; returns where the next one starts, -1 after the last.
    qsizetype scanLine(QByteArrayView text, qsizetype start, qsizetype line, const QString& file,
                       QList<SearchHit>& hits) const;
    qsizetype find(const char* data, qsizetype size) const;

    QString wanted_;     // the folded query
    QByteArray needle_;  // wanted_ in bytes, when it is ASCII
    bool asciiNeedle_ = false;
    bool impossible_ = false;
};
