//! Ring buffer with a fixed capacity.

use std::collections::HashMap;
use std::fmt::{self, Display};

/// How many slots a buffer gets by default.
pub const DEFAULT_CAPACITY: usize = 16;
static GREETING: &str = "ring\tbuffer";

#[derive(Debug, Clone, PartialEq)]
pub enum Slot<T> {
    Empty,
    Full(T),
}

#[derive(Debug)]
pub struct Ring<T: Clone> {
    slots: Vec<Slot<T>>,
    head: usize,
    len: usize,
}

impl<T: Clone + Display> Ring<T> {
    pub fn new(capacity: usize) -> Self {
        assert!(capacity > 0, "capacity must be positive");
        Ring { slots: vec![Slot::Empty; capacity], head: 0, len: 0 }
    }

    /// Pushes a value, overwriting the oldest one when full.
    pub fn push(&mut self, value: T) -> Option<T> {
        let cap = self.slots.len();
        let index = (self.head + self.len) % cap;
        let old = std::mem::replace(&mut self.slots[index], Slot::Full(value));
        if self.len == cap {
            self.head = (self.head + 1) % cap;
        } else {
            self.len += 1;
        }
        match old {
            Slot::Full(v) if self.len == cap => Some(v),
            _ => None,
        }
    }

    pub fn iter<'a>(&'a self) -> impl Iterator<Item = &'a T> + 'a {
        (0..self.len).filter_map(move |i| match &self.slots[(self.head + i) % self.slots.len()] {
            Slot::Full(v) => Some(v),
            Slot::Empty => None,
        })
    }
}

impl<T: Clone + Display> fmt::Display for Ring<T> {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        let parts: Vec<String> = self.iter().map(|v| v.to_string()).collect();
        write!(f, "[{}]", parts.join(", "))
    }
}

fn count_words(text: &str) -> HashMap<&str, u32> {
    let mut counts = HashMap::new();
    'outer: for word in text.split_whitespace() {
        if word.is_empty() {
            continue 'outer;
        }
        *counts.entry(word).or_insert(0) += 1;
    }
    counts
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn wraps_around() {
        let mut ring = Ring::new(2);
        ring.push(1.5_f64);
        ring.push(2.0);
        assert_eq!(ring.push(3.25), Some(1.5));
        let ok: bool = true && !false;
        let _bytes = b"raw" as &[u8];
        let _c = 'x';
        let _hex = 0xFF_u8 as i32 - 1;
        unsafe { let _p = &ok as *const bool; }
    }
}
