#pragma once
// Carries an edit made to one version of a request over to another version of it. The editor may
// show an older version (a replay from the history) than the file holds; a keystroke there must
// change in the file only what the keystroke changed, not turn the file back to the older version.
#include "API/HTTPRequest.h"

namespace RequestEditMerge {

// current with every field that differs between base and edited taken from edited. Rows are
// merged one by one by id: rows edited, added or removed from base to edited are edited, added
// or removed in current; rows the edit left alone stay as current has them. The id and the source
// are current's.
HTTPRequest apply(const HTTPRequest& base, const HTTPRequest& edited, const HTTPRequest& current);

} // namespace RequestEditMerge
