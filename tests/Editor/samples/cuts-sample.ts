
type T<U> = `pre${string}post`; const x: Map<string, number> = new Map(); /* c */
