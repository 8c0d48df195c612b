; Rust highlights.
; Spans are painted longest first, so a narrow capture wins over an enclosing one. Where two
; patterns capture the same node, the one rooted deeper wins, then the later one.

[(line_comment) (block_comment)] @comment

; Strings and characters
[(string_literal) (raw_string_literal)] @string
(char_literal) @character
(escape_sequence) @string.escape

; Numbers and literals
[(integer_literal) (float_literal)] @number
(boolean_literal) @boolean

; Functions
(function_item name: (identifier) @function)
(function_signature_item name: (identifier) @function)
(call_expression
  function: (identifier) @function.call
  (#not-match? @function.call "^[A-Z]"))
(call_expression
  function: (scoped_identifier name: (identifier) @function.call)
  (#not-match? @function.call "^[A-Z]"))
(call_expression function: (field_expression field: (field_identifier) @function.method))
(generic_function function: (identifier) @function.call)
(generic_function function: (scoped_identifier name: (identifier) @function.call))
(generic_function function: (field_expression field: (field_identifier) @function.method))
(macro_invocation macro: (identifier) @function.macro "!" @function.macro)
(macro_invocation macro: (scoped_identifier name: (identifier) @function.macro) "!" @function.macro)
(macro_definition name: (identifier) @function.macro)

; Types: type names, and capitalised names in paths and calls (types and enum variants).
(type_identifier) @type
(primitive_type) @type.builtin
(_ (identifier) @type (#match? @type "^[A-Z][A-Za-z0-9]*[a-z]"))
(enum_variant name: (identifier) @type)

; Attributes, lifetimes and labels
[(attribute_item) (inner_attribute_item)] @attribute
(lifetime) @label
(label) @label

; Keywords
[
  "as" "async" "await" "break" "const" "continue" "default" "dyn" "else" "enum" "extern" "fn"
  "for" "gen" "if" "impl" "in" "let" "loop" "macro_rules!" "match" "mod" "move" "pub" "ref"
  "return" "static" "struct" "trait" "type" "union" "unsafe" "use" "where" "while" "yield"
] @keyword
[(crate) (self) (super) (mutable_specifier)] @keyword

; Operators
[
  "=" "+=" "-=" "*=" "/=" "%=" "&=" "|=" "^=" "<<=" ">>=" "+" "-" "*" "%" "==" "!=" "<"
  ">" "<=" ">=" "&&" "||" "&" "|" "^" "<<" ">>" ".." "..=" "..." "->" "=>" "?"
] @operator
; "!" and "/" also appear in macro calls and doc comments: only their operator uses.
(unary_expression "!" @operator)
(binary_expression "/" @operator)
