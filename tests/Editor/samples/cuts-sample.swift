
let s = """
  multi \(x + "y")
  """
#if DEBUG
print(Foo(s))
#endif
let forced = try! Foo(s!)
if !forced.isEmpty { print(forced) }
