#pragma once
// A list of names made ready for quick open's filter once, so that a keystroke only compares
// numbers: each name becomes its user-perceived characters, lower-cased, with canonically
// equivalent characters given the same number. Filtering keeps what it learnt: when the next
// query only adds characters, names that failed before are not looked at again.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class FuzzyNames {
public:
    explicit FuzzyNames(const QStringList& names = {});

    qsizetype size() const { return qsizetype(starts_.size()) - 1; }

    // The indices of the names that hold the query's characters in order, gaps allowed, in list
    // order and at most limit of them.
    QList<qsizetype> filter(const QString& query, qsizetype limit);

private:
    using Key = quint32;
    std::vector<Key> keysOf(const QString& text, bool learn);
    bool matches(qsizetype name, const std::vector<Key>& query) const;

    QHash<QString, Key> keyOfCharacter_;  // characters other than single ASCII ones
    std::vector<Key> keys_;               // every name's characters, one name after another
    std::vector<qsizetype> starts_{0};    // name i is keys_[starts_[i], starts_[i + 1])

    // What the last filter left possible: the names in possible_, then every name from unseen_ on.
    bool filtered_ = false;
    std::vector<Key> lastQuery_;
    std::vector<qsizetype> possible_;
    qsizetype unseen_ = 0;
};
