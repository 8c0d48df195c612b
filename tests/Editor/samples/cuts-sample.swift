
let s = """
  multi \(x + "y")
  """
#if DEBUG
print(Foo(s))
#endif
