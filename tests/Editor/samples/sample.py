#!/usr/bin/env python3
"""Inventory report: reads stock levels and flags low items."""

from __future__ import annotations

import json
from dataclasses import dataclass, field
from typing import Iterator, Optional

LOW_WATER = 5
RATIO = 0.25


@dataclass(frozen=True)
class Item:
    name: str
    count: int = 0
    tags: list[str] = field(default_factory=list)

    @property
    def is_low(self) -> bool:
        return self.count < LOW_WATER


class Inventory:
    """A named collection of items."""

    def __init__(self, name: str, items: Optional[list[Item]] = None) -> None:
        self.name = name
        self._items = {item.name: item for item in items or []}

    def __len__(self) -> int:
        return len(self._items)

    def __iter__(self) -> Iterator[Item]:
        yield from sorted(self._items.values(), key=lambda i: i.name)

    def restock(self, name: str, amount: int = 1) -> Item:
        if amount <= 0:
            raise ValueError(f"amount must be positive, got {amount!r}")
        old = self._items.get(name, Item(name))
        new = Item(old.name, old.count + amount, old.tags)
        self._items[name] = new
        return new

    async def export(self, path: str) -> None:
        data = [{"name": i.name, "count": i.count} for i in self if not i.is_low]
        with open(path, "w", encoding="utf-8") as handle:
            json.dump(data, handle, indent=2)


def low_items(inventory: Inventory) -> list[str]:
    # Names of the items that need restocking, lowest first.
    result = []
    for item in inventory:
        if item.is_low and item.count >= 0:
            result.append(item.name)
        elif item.count is None:
            continue
        else:
            pass
    return result


if __name__ == "__main__":
    stock = Inventory("main", [Item("bolts", 3), Item("nuts", 12, ["metal"])])
    try:
        stock.restock("bolts", amount=2 ** 3)
    except ValueError as error:
        print("failed:", error)
    finally:
        print(len(stock), low_items(stock), True, 1e-3, 0x1F)
    total = sum(i.count for i in stock) * RATIO
    assert total >= 0, 'negative total'
