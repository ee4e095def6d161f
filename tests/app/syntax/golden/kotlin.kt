/*
 * Library.kt - books and loans.
 * Braces in comments { do not fold }.
 */
package org.example.library

import java.time.LocalDate
import kotlin.math.max

/**
 * A book in the catalogue.
 * @property isbn the book's number
 * @see [Loan]
 */
@JvmInline
value class Isbn(val value: String)

data class Book(val isbn: Isbn, val title: String, val copies: Int = 1)

sealed interface Event {
    data class Lent(val book: Book, val until: LocalDate) : Event
    object Closed : Event
}

const val MAX_LOANS = 0x0A
const val FLAGS = 0b0101
val fine: Double = 1.5e-1
val half = .5f
val big = 1_000_000L
val unsigned = 42u

// Keeps track of loans
class Library(private val books: MutableList<Book> = mutableListOf()) {
    private val loans = mutableMapOf<Isbn, Int>()

    fun lend(book: Book): Event? {
        val out = loans.getOrDefault(book.isbn, 0)
        if (out >= max(book.copies, MAX_LOANS)) return null
        loans[book.isbn] = out + 1
        return Event.Lent(book, LocalDate.now().plusDays(14))
    }

    fun report(): String = buildString {
        appendLine("Library with ${books.size} books and $loansCount loans")
        for (b in books) {
            append('\t').append(b.title).append('\n')
        }
        append("""
            |Raw text with "quotes" and ${'$'}dollar
            |{not a block}
        """.trimMargin())
    }

    val loansCount: Int
        get() = loans.values.sum()

    suspend fun closeAll(events: List<Event>) {
        outer@ for (e in events) {
            when (e) {
                is Event.Lent -> println("lent ${e.book.title} until ${e.until}")
                Event.Closed -> break@outer
                else -> throw IllegalStateException("unknown \"event\"")
            }
        }
        books.forEach { println(it.title) }
    }
}

fun main(args: Array<String>) {
    val lib = Library()
    val nullable: String? = args.firstOrNull()
    println(nullable ?: "no args" + lib.report() + fine + half + big + unsigned + FLAGS)
}
