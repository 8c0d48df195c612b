#pragma once
// Where a parsed request came from: the layout of the file text it was read from and its place
// there. The layouts are private to their formats; they also keep the values each request was
// read as, so a format can tell an edited request from an untouched one.
#include <memory>

struct HTTPFileLayout;
struct BruFileLayout;

struct RequestSource {
    std::shared_ptr<const HTTPFileLayout> httpFile{};  // set for .http and .rest text
    std::shared_ptr<const BruFileLayout> bruFile{};    // set for .bru text
    int slot = 0;                                    // the request's index among those of httpFile
};
