; JavaScript highlights.
; Spans are painted longest first, so a narrow capture wins over an enclosing one. Where two
; patterns capture the same node, the one rooted deeper wins, then the later one.

; Comments
[(comment) (html_comment) (hash_bang_line)] @comment

; Strings; in template strings only the literal pieces, so substitutions keep their own colours.
(string) @string
(template_string (string_fragment) @string)
(template_string "`" @string)
(escape_sequence) @string.escape
(regex) @string.regex

; Numbers and literals
(number) @number
[(true) (false)] @boolean
[(null) (undefined)] @constant.builtin
[(this) (super)] @keyword

; Functions
(function_declaration name: (identifier) @function)
(function_expression name: (identifier) @function)
(generator_function_declaration name: (identifier) @function)
(generator_function name: (identifier) @function)
(method_definition name: [(property_identifier) (private_property_identifier)] @function.method)
(variable_declarator
  name: (identifier) @function
  value: [(function_expression) (arrow_function)])
(pair
  key: (property_identifier) @function.method
  value: [(function_expression) (arrow_function)])
(call_expression
  function: (identifier) @function.call
  (#not-match? @function.call "^[A-Z][A-Za-z0-9]*[a-z]"))
(call_expression
  function: (member_expression
    property: [(property_identifier) (private_property_identifier)] @function.method))

; Classes, and other names in capitalised camel case, are types.
(_ (identifier) @type (#match? @type "^[A-Z][A-Za-z0-9]*[a-z]"))
(class_declaration name: (identifier) @type)
(class name: (identifier) @type)
(class_heritage (identifier) @type)
(new_expression constructor: (identifier) @type)

; JSX: element names read as tags, their attributes as attributes.
(jsx_opening_element name: (identifier) @tag)
(jsx_closing_element name: (identifier) @tag)
(jsx_self_closing_element name: (identifier) @tag)
(jsx_attribute (property_identifier) @attribute)

; Decorators and labels
(decorator "@" @attribute)
(decorator (identifier) @attribute)
(decorator (call_expression function: (identifier) @attribute arguments: (arguments)))
(decorator (member_expression property: (property_identifier) @attribute))
(statement_identifier) @label

; Keywords
[
  "as" "async" "await" "break" "case" "catch" "class" "const" "continue" "debugger" "default"
  "delete" "do" "else" "export" "extends" "finally" "for" "from" "function" "get" "if"
  "import" "in" "instanceof" "let" "new" "of" "return" "set" "static" "static get" "switch"
  "throw" "try" "typeof" "using" "var" "void" "while" "with" "yield"
] @keyword

; Operators
[
  "=" "+=" "-=" "*=" "/=" "%=" "**=" "<<=" ">>=" ">>>=" "&=" "|=" "^=" "&&=" "||=" "??="
  "+" "-" "*" "%" "**" "++" "--" "==" "===" "!=" "!==" "<" ">" "<=" ">=" "&&" "||"
  "??" "!" "~" "&" "|" "^" "<<" ">>" ">>>" "=>" "..." "?"
] @operator
(ternary_expression ":" @operator)
; A bare "/" would also take the delimiters of a regular expression literal.
(binary_expression "/" @operator)
