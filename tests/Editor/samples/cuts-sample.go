
var s = `raw
string` + "x" /* c */
func F() error { return nil }
