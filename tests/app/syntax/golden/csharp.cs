// Inventory.cs - stock keeping for a small shop
#nullable enable
#region Usings
using System;
using System.Collections.Generic;
#endregion

namespace Shop.Stock
{
    /// <summary>
    /// One line of the inventory.
    /// </summary>
    /// <param name="Sku">The article number.</param>
    [Serializable]
    public sealed record Item(string Sku, int Count, decimal Price);

    /* The store keeps items by SKU;
       braces here { are not code. */
    public class Inventory : IDisposable
    {
        private readonly Dictionary<string, Item> _items = new();
        private const int MaxItems = 0x7FFF_FFFF;
        private const long Mask = 0b1111_0000L;
        private static readonly double Tax = 1.19e0;
        private char _sep = ';', _quote = '\'', _nl = '\n';

        public int Count => _items.Count;

        public void Add(Item item)
        {
            if (item is null) throw new ArgumentNullException(nameof(item));
            _items[item.Sku] = item with { Count = item.Count + 1 };
        }

        public string Report()
        {
            var path = @"C:\shop\stock.txt";
            var quoted = @"He said ""hi"" {twice}";
            var multi = @"first line
second line with ""quotes""
last line";
            var text = $"Items: {Count}, tax {Tax:F2}\t{{literal}}";
            var raw = """
                Raw text with "quotes" and {braces}
                """;
            return $"{path}{quoted}{multi}{text}{raw}";
        }

        public async Task<int> SaveAsync(CancellationToken token = default)
        {
            foreach (var (sku, item) in _items)
            {
                await Task.Delay(10, token);
                Console.WriteLine("{0}: {1} at {2:C}", sku, item.Count, item.Price * 1.5m);
            }
#if DEBUG
            Console.WriteLine("saved");
#endif
            return _items.Count;
        }

        public void Dispose() { _items.Clear(); }
    }
}
