// Invoice.swift - models and formatting for customer invoices.
import Foundation

/// A line on an invoice.
struct LineItem: Codable, Hashable {
    let description: String
    let quantity: Int
    let unitPrice: Decimal

    var total: Decimal { unitPrice * Decimal(quantity) }
}

enum InvoiceError: Error, CustomStringConvertible {
    case empty
    case negativeQuantity(line: Int)
    case unknownCurrency(String)

    var description: String {
        switch self {
        case .empty: return "An invoice needs at least one line."
        case .negativeQuantity(let line): return "Line \(line) has a negative quantity."
        case .unknownCurrency(let code): return "Unknown currency \"\(code)\"."
        }
    }
}

struct Invoice {
    var number: String
    var customer: String
    var issued: Date
    var currency = "EUR"
    private(set) var items: [LineItem] = []

    static let taxRate: Decimal = 0.19
    private static let knownCurrencies: Set<String> = ["EUR", "USD", "GBP", "CHF"]

    mutating func add(_ item: LineItem) throws {
        guard item.quantity >= 0 else { throw InvoiceError.negativeQuantity(line: items.count + 1) }
        items.append(item)
    }

    var subtotal: Decimal { items.reduce(0) { $0 + $1.total } }
    var tax: Decimal { subtotal * Self.taxRate }
    var grandTotal: Decimal { subtotal + tax }

    func validate() throws {
        if items.isEmpty { throw InvoiceError.empty }
        if !Self.knownCurrencies.contains(currency) { throw InvoiceError.unknownCurrency(currency) }
    }

    func render(locale: Locale = Locale(identifier: "de_DE")) -> String {
        let money = NumberFormatter()
        money.numberStyle = .currency
        money.currencyCode = currency
        money.locale = locale
        func fmt(_ d: Decimal) -> String { money.string(from: d as NSDecimalNumber) ?? "\(d)" }

        let lines = items.enumerated().map { index, item in
            "\(index + 1). \(item.description.padding(toLength: 24, withPad: " ", startingAt: 0)) "
                + "\(item.quantity) × \(fmt(item.unitPrice)) = \(fmt(item.total))"
        }.joined(separator: "\n")

        return """
            INVOICE \(number)
            Customer: "\(customer)"
            Issued:   \(issued.formatted(date: .long, time: .omitted))

            \(lines)

            Subtotal: \(fmt(subtotal))
            Tax (\(Self.taxRate * 100)%): \(fmt(tax))
            Total:    \(fmt(grandTotal))
            Payment is due within 14 days; quote "\(number)" as the reference. \
            Thank you!
            """
    }
}

// Raw strings: backslashes and quotes need no escaping; interpolation is \#(...).
let pattern = #"^INV-\d{4}-\d{3}$"#
let note = #"She said "pay by Friday" and meant it. Total: \#(42)"#

var invoice = Invoice(
    number: "INV-2024-017",
    customer: "Zoë O'Neil",
    issued: Date(timeIntervalSince1970: 1_709_251_200)
)
do {
    try invoice.add(LineItem(description: "Consulting (hours)", quantity: 12, unitPrice: 95))
    try invoice.add(LineItem(description: "Travel \"flat rate\"", quantity: 1, unitPrice: 120.5))
    try invoice.validate()
    print(invoice.render())
    print(invoice.number.range(of: pattern, options: .regularExpression) != nil ? "valid number" : "bad number")
    print(note)
} catch let error as InvoiceError {
    print("error: \(error)")
} catch {
    print("unexpected: \(error.localizedDescription)")
}
