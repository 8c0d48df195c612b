; HTML highlights. Embedded scripts and styles stay in the base colour.

(comment) @comment
(doctype) @constant

[(tag_name) (erroneous_end_tag_name)] @tag

(attribute_name) @attribute
(quoted_attribute_value) @string
(attribute (attribute_value) @string)

(entity) @string.special

"=" @operator
