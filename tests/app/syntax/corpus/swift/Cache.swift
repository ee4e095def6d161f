import Foundation

/// A thread-safe least-recently-used cache.
public actor LRUCache<Key: Hashable & Sendable, Value: Sendable> {
    private final class Node {
        let key: Key
        var value: Value
        var prev: Node?
        var next: Node?
        init(key: Key, value: Value) { self.key = key; self.value = value }
    }

    private var map: [Key: Node] = [:]
    private var head: Node?
    private var tail: Node?
    public let capacity: Int
    public private(set) var hits = 0, misses = 0

    public init(capacity: Int) {
        precondition(capacity > 0, "capacity must be positive, got \(capacity)")
        self.capacity = capacity
    }

    public var count: Int { map.count }

    public func value(for key: Key) -> Value? {
        guard let node = map[key] else {
            misses += 1
            return nil
        }
        hits += 1
        moveToFront(node)
        return node.value
    }

    public func insert(_ value: Value, for key: Key) {
        if let node = map[key] {
            node.value = value
            moveToFront(node)
            return
        }
        let node = Node(key: key, value: value)
        map[key] = node
        pushFront(node)
        if map.count > capacity, let last = tail {
            unlink(last)
            map[last.key] = nil
        }
    }

    public func value(for key: Key, orCompute make: @Sendable () async throws -> Value) async rethrows -> Value {
        if let v = value(for: key) { return v }
        let v = try await make()
        insert(v, for: key)
        return v
    }

    public var hitRate: Double {
        let total = hits + misses
        return total == 0 ? 0 : Double(hits) / Double(total)
    }

    private func pushFront(_ node: Node) {
        node.next = head
        node.prev = nil
        head?.prev = node
        head = node
        if tail == nil { tail = node }
    }

    private func unlink(_ node: Node) {
        node.prev?.next = node.next
        node.next?.prev = node.prev
        if head === node { head = node.next }
        if tail === node { tail = node.prev }
        node.prev = nil
        node.next = nil
    }

    private func moveToFront(_ node: Node) {
        guard head !== node else { return }
        unlink(node)
        pushFront(node)
    }
}

extension LRUCache: CustomStringConvertible where Key: CustomStringConvertible {
    nonisolated public var description: String { "LRUCache(capacity: \(capacity))" }
}

// Usage
let cache = LRUCache<String, Data>(capacity: 2)
Task {
    await cache.insert(Data("alpha".utf8), for: "a")
    await cache.insert(Data("beta".utf8), for: "b")
    _ = await cache.value(for: "a")
    await cache.insert(Data("gamma".utf8), for: "c")   // evicts "b"
    let rate = await cache.hitRate
    print("b cached: \(await cache.value(for: "b") != nil), hit rate \(String(format: "%.0f%%", rate * 100))")
}
