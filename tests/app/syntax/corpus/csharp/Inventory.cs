// Inventory.cs - stock tracking for the warehouse service.
#nullable enable

using System;
using System.Collections.Generic;
using System.Globalization;
using System.Linq;
using System.Text;
using System.Threading.Tasks;

namespace Warehouse.Stock;

/// <summary>
/// One line of stock: a product code, a quantity and a unit price.
/// </summary>
/// <param name="Sku">Stock-keeping unit, e.g. <c>"AB-1234"</c>.</param>
public sealed record StockItem(string Sku, string Name, int Quantity, decimal UnitPrice)
{
    public decimal Value => Quantity * UnitPrice;

    public override string ToString() => $"{Sku,-10} {Name,-24} {Quantity,6:N0} @ {UnitPrice:C2}";
}

public enum Movement { Receive, Ship, Adjust }

public class InsufficientStockException : InvalidOperationException
{
    public InsufficientStockException(string sku, int wanted, int have)
        : base($"Cannot ship {wanted} of '{sku}': only {have} in stock.") { }
}

/// <summary>An in-memory inventory. Not thread-safe.</summary>
public class Inventory
{
    private readonly Dictionary<string, StockItem> _items = new(StringComparer.OrdinalIgnoreCase);
    private readonly List<(DateTime When, string Sku, Movement Kind, int Delta)> _log = new();

    public event EventHandler<StockItem>? LowStock;

    public int LowStockThreshold { get; init; } = 5;

    public IReadOnlyCollection<StockItem> Items => _items.Values;

    public void Receive(string sku, string name, int qty, decimal price)
    {
        ArgumentOutOfRangeException.ThrowIfNegativeOrZero(qty);
        _items[sku] = _items.TryGetValue(sku, out var existing)
            ? existing with { Quantity = existing.Quantity + qty, UnitPrice = price }
            : new StockItem(sku, name, qty, price);
        _log.Add((DateTime.UtcNow, sku, Movement.Receive, qty));
    }

    public void Ship(string sku, int qty)
    {
        if (!_items.TryGetValue(sku, out var item))
            throw new KeyNotFoundException($"Unknown SKU \"{sku}\"");
        if (item.Quantity < qty)
            throw new InsufficientStockException(sku, qty, item.Quantity);

        var updated = item with { Quantity = item.Quantity - qty };
        _items[sku] = updated;
        _log.Add((DateTime.UtcNow, sku, Movement.Ship, -qty));
        if (updated.Quantity <= LowStockThreshold)
            LowStock?.Invoke(this, updated);
    }

    public decimal TotalValue() => _items.Values.Sum(i => i.Value);

    public IEnumerable<IGrouping<char, StockItem>> ByLetter() =>
        from i in _items.Values
        orderby i.Name
        group i by char.ToUpperInvariant(i.Name[0]);

    public string ToCsv()
    {
        var sb = new StringBuilder("sku,name,quantity,unit_price\n");
        foreach (var i in _items.Values.OrderBy(i => i.Sku))
        {
            // Quotes inside a CSV field are doubled: He said "hi" -> "He said ""hi"""
            var name = i.Name.Contains(',') || i.Name.Contains('"') ? $"\"{i.Name.Replace("\"", "\"\"")}\"" : i.Name;
            sb.Append(CultureInfo.InvariantCulture, $"{i.Sku},{name},{i.Quantity},{i.UnitPrice:0.00}\n");
        }
        return sb.ToString();
    }

    public async Task SaveAsync(string directory)
    {
        // A verbatim string: backslashes are literal and "" is one quote.
        var path = System.IO.Path.Combine(directory, @"exports\stock ""latest"".csv");
        await System.IO.File.WriteAllTextAsync(path, ToCsv(), Encoding.UTF8).ConfigureAwait(false);
    }

    public static Inventory Sample()
    {
        var inv = new Inventory { LowStockThreshold = 10 };
        inv.Receive("AB-1001", "Bolt, hex M6", 1_200, 0.08m);
        inv.Receive("AB-1002", "Washer \"wide\"", 800, 0.03m);
        inv.Receive("CD-2001", "Crème polish", 24, 6.50m);
        inv.Receive("EF-3001", @"Cable C:\ 2m", 60, 4.99M);
        return inv;
    }

    public static void Main()
    {
        var inv = Sample();
        inv.LowStock += (_, item) => Console.WriteLine($"Low stock: {item.Sku} ({item.Quantity} left)");
        inv.Ship("CD-2001", 20);
        foreach (var group in inv.ByLetter())
            Console.WriteLine($"{group.Key}: {string.Join(", ", group.Select(i => i.Name))}");
        Console.WriteLine($"Total value: {inv.TotalValue():C} across {inv.Items.Count} lines; ratio {1.5e-3:P1}");
        char tick = '\'', tab = '\t';
        Console.Write(inv.ToCsv() + tick + tab + '\u00e9');
    }
}
