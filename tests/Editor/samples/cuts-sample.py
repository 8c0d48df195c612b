
class A:
    def f(self, cls):
        """doc
        string"""
        return f"{self.x!r} {cls}" + r'\d' # Note(x)
