; CSS highlights.
; Spans are painted longest first, so a narrow capture wins over an enclosing one. Where two
; patterns capture the same node, the one rooted deeper wins, then the later one.

[(comment) (js_comment)] @comment

; At-rules
"@charset" @charset
"@import" @import
"@media" @media
"@keyframes" @keyframes
"@namespace" @namespace
"@supports" @supports
["@scope" (at_keyword)] @keyword
[(important) (keyword_query) "and" "or" "not" "only" (from) (to)] @keyword

; Selectors
(_ (tag_name) @tag)
[(nesting_selector) (universal_selector)] @tag
(class_selector "." @type (class_name) @type)
(id_selector "#" @type (id_name) @type)
(keyframes_name) @type
(namespace_name) @type
(pseudo_class_selector ":" @attribute (class_name) @attribute)
(pseudo_element_selector "::" @attribute (tag_name) @attribute)
(attribute_selector (attribute_name) @attribute)

; Declarations
(property_name) @attribute
(feature_name) @attribute
(plain_value) @constant
((plain_value) @attribute
  (#match? @attribute "^--"))
(function_name) @function

; Values
[(integer_value) (float_value) (color_value)] @number
(string_value) @string
(escape_sequence) @string.escape

; Operators
["+" "-" "*" "/" ">" "~" "=" "~=" "^=" "|=" "*=" "$=" "|"] @operator
