@file:JvmName("Templates")

package com.example.orders

/** Message templates showing the string forms Kotlin offers. */
object Messages {
    const val APP = "Order Desk"
    private const val CURRENCY = '€'

    // Raw strings keep backslashes and quotes; ${'$'} writes a literal dollar.
    val helpText = """
        |$APP - usage:
        |  place <customer> <sku>:<qty> ...   place an order
        |  ship <id>                          mark an order as shipped
        |Paths like C:\orders\export.csv are fine here, and so are "quotes".
        |Prices are shown as ${'$'}12.00 or 12.00 $CURRENCY.
        """.trimMargin()

    val jsonTemplate = """{"id": %d, "customer": "%s", "total": "%s"}"""

    fun greeting(name: String, unread: Int) =
        "Hello, $name! You have $unread new message${if (unread == 1) "" else "s"}."

    fun receipt(order: Order): String = buildString {
        appendLine("Receipt for order #${order.id} (${order.status})")
        for ((i, line) in order.lines.withIndex()) {
            appendLine("  ${i + 1}. ${line.sku.padEnd(8)} x${line.qty} = ${line.total}$CURRENCY")
        }
        appendLine("Total: ${order.total}$CURRENCY — \"thank you\" from $APP")
        append('\n')
    }

    fun escapes() = "tab:\t quote:\" backslash:\\ unicode:\u00e9 dollar:\$notATemplate"

    fun nested(orders: List<Order>) =
        "Customers: ${orders.map { "\"${it.customer}\"" }.distinct().joinToString()} (${orders.size} orders)"

    fun toJson(order: Order) = jsonTemplate.format(order.id, order.customer.replace("\"", "\\\""), order.total)
}

private val SKU = Regex("""^[A-Z]{2}-\d{4}$""")
private val SPLIT = "\\s*,\\s*".toRegex()

fun parseLines(arg: String): List<Line> = arg.split(SPLIT).map { token ->
    val (sku, qty) = token.split(':', limit = 2).let { it[0] to (it.getOrNull(1)?.toIntOrNull() ?: 1) }
    require(SKU.matches(sku)) { "bad SKU '$sku' in \"$arg\"" }
    Line(sku, qty, 1.toBigDecimal())
}

fun demo() {
    println(Messages.helpText)
    println(Messages.greeting("Zoë", 3))
    val order = Order(7L, "Pat \"P\" O'Neil", parseLines("AB-1001:3, CD-2001"))
    print(Messages.receipt(order))
    println(Messages.escapes())
    println(Messages.nested(listOf(order, order.copy(id = 8))))
    println(Messages.toJson(order))
    val hex = 0xFF_EC_DE_5E
    val bin = 0b1010_0101
    val big = 1_000_000L
    val ratio = 1.5e-3f
    val c = 'a'
    val nl = '\n'
    println("$hex $bin $big $ratio $c${nl}done")
}
