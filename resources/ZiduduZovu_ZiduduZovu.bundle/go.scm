; Go highlights.
; Spans are painted longest first, so a narrow capture wins over an enclosing one. Where two
; patterns capture the same node, the one rooted deeper wins, then the later one.

(comment) @comment

; Strings and runes
[(interpreted_string_literal) (raw_string_literal)] @string
(rune_literal) @character
(escape_sequence) @string.escape

; Numbers and literals
[(int_literal) (float_literal) (imaginary_literal)] @number
[(true) (false)] @boolean
[(nil) (iota)] @constant.builtin

; Types (capitalisation means exported in Go, not a type)
(type_identifier) @type

; Functions
(function_declaration name: (identifier) @function)
(method_declaration name: (field_identifier) @function.method)
(method_elem name: (field_identifier) @function.method)
(call_expression function: (identifier) @function.call)
(call_expression function: (selector_expression field: (field_identifier) @function.method))

(label_name) @label

; Keywords
[
  "break" "case" "chan" "const" "continue" "default" "defer" "else" "fallthrough" "for"
  "func" "go" "goto" "if" "import" "interface" "map" "package" "range" "return" "select"
  "struct" "switch" "type" "var"
] @keyword

; Operators
[
  "=" ":=" "+=" "-=" "*=" "/=" "%=" "&=" "|=" "^=" "<<=" ">>=" "&^=" "+" "-" "*" "/" "%"
  "==" "!=" "<" ">" "<=" ">=" "&&" "||" "!" "&" "|" "^" "&^" "<<" ">>" "<-" "++" "--" "..."
  "~"
] @operator
