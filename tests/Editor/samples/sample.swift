import Foundation

/// Keeps a running tally of named counters.
@MainActor
final class CounterStore: ObservableObject {
    @Published private(set) var counts: [String: Int] = [:]
    private let limit: Int
    static let shared = CounterStore(limit: 1_000)

    init(limit: Int = 100) {
        self.limit = limit
    }

    // Adds one to the counter, refusing to pass the limit.
    func increment(_ name: String, by step: Int = 1) throws -> Int {
        guard step > 0 else { throw CounterError.badStep(step) }
        let next = (counts[name] ?? 0) + step
        if next > limit {
            throw CounterError.overflow(name: name)
        }
        counts[name] = next
        return next
    }

    func reset() async {
        for key in counts.keys where key.hasPrefix("tmp") {
            counts.removeValue(forKey: key)
        }
        await Task.yield()
    }

    var total: Double {
        let sum = counts.values.reduce(0, +)
        return Double(sum) * 0.5
    }
}

enum CounterError: Error, CustomStringConvertible {
    case badStep(Int)
    case overflow(name: String)

    var description: String {
        switch self {
        case .badStep(let step):
            return "bad step \(step)"
        case .overflow(let name):
            return "counter \"\(name)\" is full"
        }
    }
}

protocol Resettable {
    mutating func reset()
}

struct Tally: Resettable {
    var value: Int? = nil
    mutating func reset() { value = 0x10 }
}

extension Array where Element == Int {
    /* Sum of the even elements. */
    func evenSum() -> Int {
        return filter { $0 % 2 == 0 }.reduce(0, +)
    }
}

let store = CounterStore.shared
do {
    let n = try store.increment("clicks", by: 2)
    print("clicks: \(n)", terminator: "\n")
} catch {
    print(error)
}

let forced = try! store.increment("taps")
if !forced.isMultiple(of: 2) { print(forced) }
let maybe: Int? = forced
print(maybe!)
