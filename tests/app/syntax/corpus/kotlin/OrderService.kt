package com.example.orders

import java.math.BigDecimal
import java.math.RoundingMode
import java.time.Instant
import kotlinx.coroutines.delay
import kotlinx.coroutines.runBlocking

/** Order states; the transitions are checked in [Order.moveTo]. */
enum class Status { PENDING, PAID, SHIPPED, CANCELLED }

data class Line(val sku: String, val qty: Int, val unitPrice: BigDecimal) {
    init {
        require(qty > 0) { "qty must be positive for $sku, got $qty" }
    }

    val total: BigDecimal get() = unitPrice * qty.toBigDecimal()
}

data class Order(
    val id: Long,
    val customer: String,
    val lines: List<Line>,
    val status: Status = Status.PENDING,
    val placedAt: Instant = Instant.now(),
) {
    val total: BigDecimal
        get() = lines.fold(BigDecimal.ZERO) { acc, l -> acc + l.total }.setScale(2, RoundingMode.HALF_UP)

    fun moveTo(next: Status): Order {
        val allowed = when (status) {
            Status.PENDING -> setOf(Status.PAID, Status.CANCELLED)
            Status.PAID -> setOf(Status.SHIPPED, Status.CANCELLED)
            Status.SHIPPED, Status.CANCELLED -> emptySet()
        }
        check(next in allowed) { "order #$id: cannot go from $status to $next" }
        return copy(status = next)
    }
}

sealed interface Result<out T> {
    data class Ok<T>(val value: T) : Result<T>
    data class Failed(val reason: String, val cause: Throwable? = null) : Result<Nothing>
}

class OrderService(private val repo: MutableMap<Long, Order> = mutableMapOf()) {
    private var nextId = 1_000L

    fun place(customer: String, vararg lines: Line): Result<Order> = runCatching {
        require(lines.isNotEmpty()) { "an order needs at least one line" }
        Order(nextId++, customer, lines.toList()).also { repo[it.id] = it }
    }.fold({ Result.Ok(it) }, { Result.Failed(it.message ?: "unknown error", it) })

    fun advance(id: Long, to: Status): Result<Order> {
        val order = repo[id] ?: return Result.Failed("no order with id $id")
        return try {
            Result.Ok(order.moveTo(to).also { repo[id] = it })
        } catch (e: IllegalStateException) {
            Result.Failed(e.message!!, e)
        }
    }

    fun summary(): String = repo.values
        .groupBy { it.status }
        .toSortedMap()
        .entries
        .joinToString(separator = "\n") { (status, orders) ->
            "${status.name.lowercase().padEnd(10)} ${orders.size} order${if (orders.size == 1) "" else "s"}, " +
                "total ${orders.sumOf { it.total }}"
        }

    suspend fun shipAllPaid(delayMs: Long = 10): Int {
        var shipped = 0
        for (order in repo.values.filter { it.status == Status.PAID }) {
            delay(delayMs)
            if (advance(order.id, Status.SHIPPED) is Result.Ok) shipped++
        }
        return shipped
    }
}

fun main() = runBlocking {
    val service = OrderService()
    val first = service.place(
        "Zoë",
        Line("AB-1001", 12, "0.08".toBigDecimal()),
        Line("CD-2001", 1, BigDecimal("6.50")),
    )
    val second = service.place("O'Neil", Line("EF-3001", 2, 4.99.toBigDecimal()))
    println(service.place("nobody"))

    for (r in listOf(first, second)) {
        when (r) {
            is Result.Ok -> println("placed #${r.value.id} for ${r.value.customer}: \$${r.value.total}")
            is Result.Failed -> println("failed: ${r.reason}")
        }
    }
    (first as? Result.Ok)?.let { service.advance(it.value.id, Status.PAID) }
    println(service.advance(1_001, Status.SHIPPED))
    println("shipped ${service.shipAllPaid()} order(s)")
    println(service.summary())
}
