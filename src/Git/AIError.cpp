#include "Git/AIError.h"

#include "Git/ProcessText.h"

QString AIError::errorDescription() const {
    switch (kind_) {
    case Kind::cliFailed: {
        // Cut first, then trim: a long run of blanks leaves nothing worth showing.
        const QString shown = ProcessText::trimWhitespace(ProcessText::leadingCharacters(payload_, 200));
        return QStringLiteral("AI CLI failed: ") + (shown.isEmpty() ? QStringLiteral("no output") : shown);
    }
    case Kind::emptyDiff: return QStringLiteral("Stage some changes first.");
    case Kind::launchFailed: return payload_;
    case Kind::timedOut:
        return QStringLiteral("AI CLI failed: no answer after %1 seconds; the tool was stopped.").arg(payload_);
    case Kind::tooLarge:
        return QStringLiteral("AI CLI failed: the answer was larger than %1; the tool was stopped.").arg(payload_);
    }
    return {};
}
