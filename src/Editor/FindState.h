#pragma once
// The window's find-and-replace model: what the user asks for, what the editor found, and a weak
// reference to the editor that carries out the find actions.
#include <QObject>
#include <QString>
#include <optional>

#include "Editor/FindEngine.h"
#include "Editor/RegularExpression.h"
#include "Editor/WeakInterface.h"

class FindState : public QObject {
    Q_OBJECT
public:
    // The work allowed to one match attempt of every compiled query (RegularExpression::setTimeLimit);
    // a user's pattern that needs more is stopped rather than freezing the editor, and says so.
    static constexpr int kDefaultTimeLimit = 250;

    explicit FindState(QObject* parent = nullptr);

    const QString& query() const { return query_; }
    const QString& replacement() const { return replacement_; }
    bool caseSensitive() const { return caseSensitive_; }
    bool wholeWord() const { return wholeWord_; }
    bool useRegex() const { return useRegex_; }
    bool showReplace() const { return showReplace_; }
    int matchCount() const { return matchCount_; }
    int current() const { return current_; }  // 1-based; 0 when there is no current match
    bool invalidRegex() const { return invalidRegex_; }
    // The last search or replace-all was stopped before it finished: the count is not a result.
    bool searchStopped() const { return searchStopped_; }
    // The matches of the current query in the current text are still being counted: matchCount and
    // searchStopped are not yet their result.
    bool counting() const { return counting_; }
    // The replacement, as a regular expression's template, names a group the query does not have,
    // so no replacement can be made through it.
    bool invalidReplacement() const;

    // Every setter announces changed(), also when the value is the same: observers re-read everything.
    void setQuery(const QString& value);
    void setReplacement(const QString& value);
    void setCaseSensitive(bool value);
    void setWholeWord(bool value);
    void setUseRegex(bool value);
    void setShowReplace(bool value);
    // Written by the engine only.
    void setMatchCount(int value);
    void setCurrent(int value);
    void setInvalidRegex(bool value);
    void setSearchStopped(bool value);
    void setCounting(bool value);

    // The editor that carries out the find actions; null when none is registered or it is gone.
    FindEngine* engine() const { return engine_.get(); }
    template <class T>
    void setEngine(T* editor) { engine_.reset(editor); }
    void setEngine(FindEngine* engine, QObject* lifetime) { engine_.reset(engine, lifetime); }
    void clearEngine() { engine_.reset(); }

    // The query compiled with the options, limited to kDefaultTimeLimit; absent for an empty query or
    // a regular expression that does not compile.
    std::optional<RegularExpression> makeRegex() const;
    // How many times makeRegex() compiled the query: the work a repaint must not repeat.
    int regexesMade() const { return regexesMade_; }

    // The query and the three options in one string; the engine compares it to notice a new search.
    QString signature() const;

signals:
    void changed();

private:
    template <class T>
    void assign(T& field, const T& value);

    QString query_;
    QString replacement_;
    bool caseSensitive_ = false;
    bool wholeWord_ = false;
    bool useRegex_ = false;
    bool showReplace_ = false;
    int matchCount_ = 0;
    mutable int regexesMade_ = 0;
    int current_ = 0;
    bool invalidRegex_ = false;
    bool searchStopped_ = false;
    bool counting_ = false;
    WeakInterface<FindEngine> engine_;
};
