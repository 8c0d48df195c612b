def twice(x):
    return 2 * x


class Box:
    def __init__(self):
        self.items = []
