// Templates.cs - message templates built with the different string literal forms.
using System;
using System.Collections.Generic;
using System.Text.RegularExpressions;

namespace Warehouse.Messages
{
    internal static class Templates
    {
        // Raw string literal: no escapes at all, quotes are fine inside.
        public const string Banner = """
            Warehouse "Stock" Service
            Paths like C:\data\stock are printed as-is.
            """;

        // Raw literal that itself contains three quotes needs four.
        public const string Example = """"
            Write text as """like this""" in a template.
            """";

        // With $$ a single brace is literal JSON and {{x}} interpolates.
        public static string JsonLine(string sku, int qty) => $$"""
            {"sku": "{{sku}}", "quantity": {{qty}}, "tags": ["a", "b"]}
            """;

        public static readonly string Folder = @"C:\Warehouse\Exports\";
        public static readonly string Quoted = @"She said ""no"" twice.";
        public static readonly string MultiLine = @"first line
second line with a ""quote""
third line \n is not an escape";

        public static readonly Regex SkuPattern = new(@"^[A-Z]{2}-\d{4}$", RegexOptions.Compiled);
        public static readonly Regex QuotedPattern = new("\"([^\"]*)\"");

        public static string Greeting(string name, DateTime when) =>
            $"Hello {name}, it is {when:HH:mm} on {when:dddd}. {{Braces}} are doubled.";

        public static string Shipped(string sku, int qty, string folder) =>
            $@"Shipped {qty} x {sku}; receipt saved in {folder}\{sku}.txt ""as usual""";

        public static string Nested(IReadOnlyList<string> items) =>
            $"Items: {(items.Count == 0 ? "none" : string.Join(", ", items))} ({items.Count} total)";

        public static string Conditional(int n) =>
            $"{n} {(n == 1 ? "item" : "items")} {(n > 100 ? $"({n / 100} boxes)" : "")}";

        /* Block comment with "quotes" and an apostrophe: it's fine.
           /* C# block comments do not nest, so this line is still in the comment. */
        public static IEnumerable<string> All(string sku)
        {
            yield return Banner;
            yield return Example;
            yield return JsonLine(sku, 3);
            yield return Folder + Quoted;
            yield return MultiLine;
            yield return Greeting("Zoë", new DateTime(2024, 2, 29, 13, 45, 0));
            yield return Shipped(sku, 12, Folder.TrimEnd('\\'));
            yield return Nested(new[] { "bolt", "nut" });
            yield return Conditional(250);
            yield return SkuPattern.IsMatch(sku) ? "valid" : "invalid";
            var m = QuotedPattern.Match("name \"Widget\" here");
            yield return m.Success ? m.Groups[1].Value : string.Empty;
        }

        private const int Flags = 0x1F | 0b0010_0000;
        private const double Ratio = 6.02e23;
        private const float Small = 1.5e-3f;
        private const long Big = 9_000_000_000L;
        private const ulong Huge = 18_446_744_073_709_551_615UL;

        public static string Numbers() => $"{Flags:X} {Ratio:E2} {Small} {Big:N0} {Huge}";
    }
}
