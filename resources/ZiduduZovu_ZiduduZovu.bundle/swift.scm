; Swift highlights.
; Spans are painted longest first, so a narrow capture wins over an enclosing one. Where two
; patterns capture the same node, the later one wins when both are rooted at the same depth.

; Comments
[(comment) (multiline_comment)] @comment

; Strings: the literal pieces only, so interpolated code keeps its own colours.
[(line_str_text) (multi_line_str_text)] @string
["\"" "\"\"\""] @string
(raw_string_literal) @string
(str_escaped_char) @string.escape
(regex_literal) @string.regex

; Numbers and literals
[(integer_literal) (real_literal) (hex_literal) (oct_literal) (bin_literal)] @number
(boolean_literal) @boolean
"nil" @constant.builtin
(special_literal) @constant.builtin

; Types
(_ (user_type (type_identifier) @type))
(class_declaration name: (type_identifier) @type)
(protocol_declaration name: (type_identifier) @type)
(typealias_declaration name: (type_identifier) @type)
(associatedtype_declaration name: (type_identifier) @type)
(type_parameter (type_identifier) @type)
["Type" "Protocol"] @type.builtin

; Capitalised names in expressions are types by convention (initialisers, static members).
((simple_identifier) @type
  (#match? @type "^[A-Z][A-Za-z0-9_]*$"))

; Functions: declarations and calls with parentheses or a trailing closure.
(function_declaration name: (simple_identifier) @function)
(protocol_function_declaration name: (simple_identifier) @function)
(macro_declaration (simple_identifier) @function.macro)
(call_expression
  (simple_identifier) @function.call
  (call_suffix [(value_arguments "(") (lambda_literal)])
  (#not-match? @function.call "^[A-Z]"))
(call_expression
  (navigation_expression
    suffix: (navigation_suffix suffix: (simple_identifier) @function.method))
  (call_suffix [(value_arguments "(") (lambda_literal)])
  (#not-match? @function.method "^[A-Z]"))
(macro_invocation "#" @function.macro (simple_identifier) @function.macro)

; Attributes (after the type patterns: the attribute's name takes this colour, not the type's)
(attribute "@" @attribute (user_type (type_identifier) @attribute))
(attribute "@" @attribute)
["@autoclosure" "@escaping"] @attribute
(statement_label) @label

; Keywords
[
  "actor" "any" "as" "associatedtype" "async" "await" "borrowing" "break" "case" "class"
  "consuming" "continue" "convenience" "deinit" "didSet" "distributed" "do" "dynamic" "each"
  "enum" "extension" "fallthrough" "fileprivate" "final" "for" "func" "get" "guard" "if"
  "import" "in" "indirect" "infix" "init" "inout" "internal" "is" "lazy" "let" "macro"
  "mutating" "nonisolated" "nonmutating" "open" "operator" "optional" "override" "package"
  "postfix" "precedencegroup" "prefix" "private" "protocol" "public" "repeat" "required"
  "return" "self" "set" "some" "static" "struct" "subscript" "super" "switch" "typealias"
  "unowned" "var" "weak" "while" "willSet" "yield"
] @keyword
["try" "try!" "try?" "as!" "as?"] @keyword
[(throws) (else) (catch_keyword) (default_keyword) (throw_keyword) (where_keyword)] @keyword
(directive) @keyword.directive
(diagnostic) @keyword.directive
["#if" "#elseif" "#else" "#endif"] @keyword.directive

; Operators
[
  "=" "+=" "-=" "*=" "/=" "%=" "+" "-" "*" "/" "%" "++" "--" "==" "!=" "===" "!==" "<" ">"
  "<=" ">=" "&&" "||" "!" "??" "..." "..<" "->" "&" "|" "^" "~" "<<" ">>"
] @operator
(custom_operator) @operator
(bang) @operator
