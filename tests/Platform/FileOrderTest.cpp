#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <random>

#include "Platform/FileOrder.h"
#include "Platform/FilePath.h"

namespace {
QStringList sortedByComparing(QStringList names) {
    std::stable_sort(names.begin(), names.end(), FileOrder::lessThan);
    return names;
}

QStringList sortedByKeys(QStringList names) {
    FileOrder::sort(names, [](const QString& name) -> const QString& { return name; });
    return names;
}

// Names of up to eight pieces drawn from ASCII and from text the order has rules of its own for:
// accents (precomposed and combining), letters that fold or expand, other scripts, digits of other
// scripts, characters outside the basic plane and bytes that are not UTF-8.
QString randomName(std::mt19937& rng, int nonAsciiPerMille) {
    static const QStringList ascii{"a", "A", "b", "B", "e", "E", "z", "Z", "0", "00", "1", "2", "9", "10", "07",
                                   "_", "-", ".", " ", "~", "!", "(", "[", "{", "@", "#", "txt", "Src"};
    static const QStringList other{QStringLiteral("\u00e9"),       QStringLiteral("\u00c9"),
                                   QStringLiteral("e\u0301"),      QStringLiteral("\u00df"),
                                   QStringLiteral("\ufb00"),       QStringLiteral("\u65e5\u672c"),
                                   QStringLiteral("\U0001F600"),   QStringLiteral("\u0663"),
                                   QStringLiteral("\uff11\uff12"), QStringLiteral("\u0130"),
                                   QStringLiteral("\u00a0"),       QStringLiteral("\u00e6"),
                                   FilePath::decode("\xe9"),       FilePath::decode("\xff\xfe"),
                                   FilePath::decode("\x80"),       QStringLiteral("\t"),
                                   QStringLiteral("\x01")};
    QString name;
    for (int n = 1 + int(rng() % 8); n > 0; --n)
        name += int(rng() % 1000) < nonAsciiPerMille ? other[qsizetype(rng() % other.size())]
                                                   : ascii[qsizetype(rng() % ascii.size())];
    return name;
}
} // namespace

// However many names need the collator, sorting by keys gives the order of comparing one pair at a
// time, names equal but for case in a fixed order and equal names in the order they came.
TEST(FileOrder, MixedNamesSortByKeysAsByComparing) {
    std::mt19937 rng(41);
    for (const int nonAsciiPerMille : {0, 2, 10, 50, 300, 1000}) {
        QStringList names;
        for (int i = 0; i < 1500; ++i) names << randomName(rng, nonAsciiPerMille);
        names << names.mid(0, 50);  // duplicates
        EXPECT_EQ(sortedByKeys(names), sortedByComparing(names)) << "non-ASCII pieces: " << nonAsciiPerMille << "/1000";
    }
    // A single name that needs the collator, at either end and in the middle of plain ones.
    QStringList plain;
    for (int i = 0; i < 300; ++i) plain << randomName(rng, 0);
    for (const QString& odd : {QStringLiteral("\u00c9cole"), QStringLiteral("\u00e0"), QStringLiteral("zz\u00e9"),
                               QStringLiteral("\uff19"), FilePath::decode("a\xe9"), QStringLiteral("\u0661")}) {
        const QStringList names = plain + QStringList{odd};
        EXPECT_EQ(sortedByKeys(names), sortedByComparing(names)) << odd.toStdString();
    }
    // Characters that expand to many weights make keys far longer than their names.
    QStringList expanding;
    for (int n : {1, 3, 40, 41})
        for (const QString& c : {QStringLiteral("\ufdfa"), QStringLiteral("\ufdfb"), QStringLiteral("\u3392")})
            expanding << QString(c).repeated(n) << QString(c).repeated(n) + u'a' << QStringLiteral("b") + c;
    EXPECT_EQ(sortedByKeys(expanding), sortedByComparing(expanding));
}

// A folder of plain names with a few accented ones asks the collator about those few, not about every
// name: the work grows with the few, not with the folder.
TEST(FileOrder, FewNamesThatNeedTheCollatorCostFewCollations) {
    std::mt19937 rng(7);
    const auto collationsToSort = [&](int plainNames) {
        QStringList names;
        for (int i = 0; i < plainNames; ++i) names << randomName(rng, 0) + QString::number(i);
        names << QStringLiteral("\u00e9t\u00e9") << QStringLiteral("Caf\u00e9 2") << FilePath::decode("x\xff");
        const qsizetype before = FileOrder::collations();
        const QStringList sorted = sortedByKeys(names);
        EXPECT_EQ(sorted.size(), names.size());
        return FileOrder::collations() - before;
    };
    collationsToSort(10);  // the collator's one-time setup
    const qsizetype small = collationsToSort(1000), large = collationsToSort(20000);
    EXPECT_LE(small, 3 * (std::log2(1003) + 4));
    EXPECT_LE(large, 3 * (std::log2(20003) + 4));
    EXPECT_EQ(collationsToSort(0), 3);  // alone, each is keyed once
}
