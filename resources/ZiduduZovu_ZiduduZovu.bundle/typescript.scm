; TypeScript highlights.
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
(method_signature name: (property_identifier) @function.method)
(abstract_method_signature name: (property_identifier) @function.method)
(function_signature name: (identifier) @function)
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
(extends_clause value: (identifier) @type)
(new_expression constructor: (identifier) @type)
(type_identifier) @type
(predefined_type) @type.builtin
(enum_declaration name: (identifier) @type)
(internal_module name: (identifier) @type)

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
  "import" "in" "instanceof" "let" "new" "of" "return" "set" "static" "switch"
  "throw" "try" "typeof" "using" "var" "void" "while" "with" "yield"
] @keyword
[
  "abstract" "accessor" "asserts" "declare" "enum" "global" "implements" "infer" "interface"
  "is" "keyof" "module" "namespace" "override" "private" "protected" "public" "readonly"
  "satisfies" "type" "unique symbol"
] @keyword

; Operators
[
  "=" "+=" "-=" "*=" "/=" "%=" "**=" "<<=" ">>=" ">>>=" "&=" "|=" "^=" "&&=" "||=" "??="
  "+" "-" "*" "%" "**" "++" "--" "==" "===" "!=" "!==" "<" ">" "<=" ">=" "&&" "||"
  "??" "!" "~" "&" "|" "^" "<<" ">>" ">>>" "=>" "..." "?" "?."
] @operator
(ternary_expression ":" @operator)
; A bare "/" would also take the delimiters of a regular expression literal.
(binary_expression "/" @operator)
