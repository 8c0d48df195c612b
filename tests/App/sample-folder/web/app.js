export function add(a, b) {
  return a + b;
}
const s = `x ${add(1, 2)}`;
