#pragma once
// Quick open's file-name filter: whether the query's characters appear in the candidate in the
// same order, not necessarily side by side. Case does not matter; characters are user-perceived
// ones, equal when canonically equivalent. FuzzyNames does the same for a whole list at once.
#include <QString>

bool fuzzyMatch(const QString& query, const QString& candidate);
