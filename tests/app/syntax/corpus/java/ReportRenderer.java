package com.example.reports;

import java.time.LocalDate;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.function.Function;
import java.util.stream.Collectors;

/**
 * Renders sales figures as HTML or plain text.
 *
 * <p>Usage:
 * <pre>{@code
 * var r = new ReportRenderer(Locale.UK);
 * String html = r.html(rows);
 * }</pre>
 *
 * @author reports team
 * @since 2.1
 */
public final class ReportRenderer {

    /** One row of the report. */
    public record Row(String region, String product, int units, double revenue) {
        public Row {
            if (units < 0) throw new IllegalArgumentException("units must be >= 0, got " + units);
        }
    }

    private static final DateTimeFormatter DAY = DateTimeFormatter.ofPattern("yyyy-MM-dd");
    private static final String PAGE = """
            <!DOCTYPE html>
            <html lang="en">
            <head><meta charset="utf-8"><title>%s</title></head>
            <body>
              <h1>Sales for "%s"</h1>
              <table class="report">
            %s
              </table>
              <p>Generated on %s. Figures in \u20ac; it's all approximate.</p>
            </body>
            </html>
            """;

    // A text block with escapes: \" is allowed, \<newline> joins lines, \s keeps a space.
    private static final String FOOTER = """
            Totals include "returns" \
            and exclude tax.\s
            Path: C:\\reports\\out
            """;

    private final Locale locale;

    public ReportRenderer(Locale locale) {
        this.locale = locale;
    }

    static String escape(String s) {
        StringBuilder out = new StringBuilder(s.length());
        for (char c : s.toCharArray()) {
            switch (c) {
                case '<' -> out.append("&lt;");
                case '>' -> out.append("&gt;");
                case '&' -> out.append("&amp;");
                case '"' -> out.append("&quot;");
                case '\'' -> out.append("&#39;");
                default -> out.append(c);
            }
        }
        return out.toString();
    }

    public String html(String title, List<Row> rows) {
        var body = rows.stream()
                .sorted(Comparator.comparing(Row::region).thenComparing(Row::revenue, Comparator.reverseOrder()))
                .map(r -> String.format(locale, "    <tr><td>%s</td><td>%s</td><td>%,d</td><td>%.2f</td></tr>",
                        escape(r.region()), escape(r.product()), r.units(), r.revenue()))
                .collect(Collectors.joining("\n"));
        return PAGE.formatted(escape(title), escape(title), body, LocalDate.of(2024, 3, 1).format(DAY));
    }

    public String text(List<Row> rows) {
        Map<String, Double> byRegion = rows.stream()
                .collect(Collectors.groupingBy(Row::region, Collectors.summingDouble(Row::revenue)));
        List<String> lines = new ArrayList<>();
        byRegion.forEach((region, total) -> lines.add(String.format(locale, "%-12s %12.2f", region, total)));
        lines.sort(null);
        return String.join("\n", lines) + "\n" + FOOTER;
    }

    @SuppressWarnings("unchecked")
    static <T, K> Map<K, List<T>> index(List<T> items, Function<? super T, ? extends K> key) {
        return (Map<K, List<T>>) (Map<?, ?>) items.stream().collect(Collectors.groupingBy(key));
    }

    public static void main(String[] args) {
        var rows = List.of(
                new Row("North", "Widget \"XL\"", 1_200, 15_999.50),
                new Row("South", "Gadget <mini>", 450, 2.5e3),
                new Row("North", "Café set", 12, 480.0),
                new Row("West", "O'Neil's kit", 0, 0x10));
        var r = new ReportRenderer(Locale.US);
        System.out.println(r.html("Q1 & Q2", rows));
        System.out.print(r.text(rows));
        System.out.println(index(rows, Row::region).keySet() + " " + (char) 65 + '\t' + 0b1010L + 077);
    }
}
