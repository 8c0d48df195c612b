; JSON highlights.
; Every string is a string, and a pair's key then takes its own colour: its match ends at the colon
; after it, so it comes after the string's and is painted over it. No pattern starts at an array or an
; object: a match begun there would make every query walk all of that container's elements, however
; few of them are on screen.

(comment) @comment

(string) @string
(pair key: (string) @string.special.key ":")

(number) @number
[(true) (false)] @boolean
(null) @constant.builtin
