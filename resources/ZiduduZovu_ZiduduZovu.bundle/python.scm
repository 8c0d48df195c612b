; Python highlights.
; Spans are painted longest first, so a narrow capture wins over an enclosing one. Where two
; patterns capture the same node, the one rooted deeper wins, then the later one.

(comment) @comment

; Strings: the literal pieces only, so f-string fields keep their own colours.
[(string_start) (string_content) (string_end)] @string
(escape_sequence) @string.escape
(escape_interpolation) @string.escape

; Numbers and literals
[(integer) (float)] @number
[(true) (false)] @boolean
(none) @constant.builtin
(ellipsis) @constant.builtin

; Functions
(function_definition name: (identifier) @function)
(call
  function: (identifier) @function.call
  (#not-match? @function.call "^[A-Z][A-Za-z0-9]*[a-z]"))
(call
  function: (attribute attribute: (identifier) @function.method))

; Types: class names, annotations, and names in capitalised camel case.
(_ (identifier) @type (#match? @type "^[A-Z][A-Za-z0-9]*[a-z]"))
(class_definition name: (identifier) @type)
(type (identifier) @type)
(type (attribute attribute: (identifier) @type))
(generic_type (identifier) @type)
(class_definition superclasses: (argument_list (identifier) @type))

; The instance and class parameters read as keywords.
((identifier) @keyword.self
  (#any-of? @keyword.self "self" "cls"))

; Decorators (after the patterns above: the decorator's name takes this colour)
(decorator "@" @attribute)
(decorator (identifier) @attribute)
(decorator (attribute) @attribute)
(decorator (call function: (identifier) @attribute arguments: (argument_list)))
(decorator (call function: (attribute) @attribute arguments: (argument_list)))

; Keywords
[
  "and" "as" "assert" "async" "await" "break" "case" "class" "continue" "def" "del" "elif"
  "else" "except" "finally" "for" "from" "global" "if" "import" "in" "is" "is not" "lambda"
  "match" "nonlocal" "not" "not in" "or" "pass" "raise" "return" "try" "type" "while" "with"
  "yield" "__future__"
] @keyword

; Operators
[
  "=" ":=" "+=" "-=" "*=" "/=" "//=" "%=" "**=" "@=" "&=" "|=" "^=" "<<=" ">>=" "+" "-" "*"
  "/" "//" "%" "**" "==" "!=" "<>" "<" ">" "<=" ">=" "&" "|" "^" "~" "<<" ">>" "->"
] @operator
(binary_operator "@" @operator)
