#pragma once
// The find actions the active text editor carries out for the find bar.

class FindEngine {
public:
    virtual ~FindEngine() = default;
    virtual void findNext() = 0;      // wraps from the last match to the first
    virtual void findPrevious() = 0;  // wraps from the first match to the last
    virtual void replaceCurrent() = 0;
    virtual void replaceAll() = 0;
};
