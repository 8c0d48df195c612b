; JSON highlights.
; Keys and values are told apart by their place in the pair, so no string is captured twice.

(comment) @comment

(pair key: (string) @string.special.key)
(pair value: (string) @string)
(array (string) @string)
(document (string) @string)
(pair value: (string (escape_sequence) @string.escape))
(array (string (escape_sequence) @string.escape))

(number) @number
[(true) (false)] @boolean
(null) @constant.builtin
