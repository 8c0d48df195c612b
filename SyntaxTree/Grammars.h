#pragma once
// The entry points of the nine grammars the program links (target ts_grammars).
#include <tree_sitter/api.h>

extern "C" {
const TSLanguage* tree_sitter_swift(void);
const TSLanguage* tree_sitter_javascript(void);
const TSLanguage* tree_sitter_typescript(void);
const TSLanguage* tree_sitter_python(void);
const TSLanguage* tree_sitter_json(void);
const TSLanguage* tree_sitter_html(void);
const TSLanguage* tree_sitter_css(void);
const TSLanguage* tree_sitter_rust(void);
const TSLanguage* tree_sitter_go(void);
}
