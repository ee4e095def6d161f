/*
 * Ledger.java - a tiny double-entry ledger.
 */
package org.example.ledger;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * Keeps entries and checks that they balance.
 *
 * @author Ledger team
 * @see java.math.BigDecimal
 * Use {@link #post(String, long)} to add an <em>entry</em>.
 */
@SuppressWarnings("unchecked")
public final class Ledger implements Iterable<Ledger.Entry> {

    /** One booking. */
    public record Entry(String account, long cents) {}

    private static final long LIMIT = 0x7FFF_FFFFL;
    private static final int FLAGS = 0b1010_0101;
    private static final double RATE = 2.5e-3d;
    private static final float HALF = .5f;
    private static final char SEP = '|', QUOTE = '\'', UNI = '\u00e9';

    private final List<Entry> entries = new ArrayList<>();

    // Posts one entry; braces in comments { are ignored
    public void post(String account, long cents) {
        if (account == null || account.isEmpty()) {
            throw new IllegalArgumentException("account must not be \"empty\"");
        }
        if (Math.abs(cents) > LIMIT) {
            throw new IllegalStateException("amount {too large}: " + cents);
        }
        entries.add(new Entry(account, cents));
    }

    @Override
    public java.util.Iterator<Entry> iterator() {
        return entries.iterator();
    }

    public boolean balanced() {
        long sum = 0;
        for (Entry e : entries) {
            sum += e.cents();
        }
        return sum == 0;
    }

    public String report(Map<String, Long> totals) {
        String header = """
            Ledger report
              "accounts" {%d}
            """.formatted(totals.size());
        var sb = new StringBuilder(header);
        totals.forEach((k, v) -> sb.append(k).append(SEP).append(v).append('\n'));
        switch (totals.size()) {
            case 0 -> sb.append("empty\t\n");
            default -> sb.append("done");
        }
        return sb.toString();
    }

    public static void main(String[] args) throws Exception {
        Ledger l = new Ledger();
        l.post("cash", 100_00L);
        l.post("bank", -100_00L);
        System.out.println(l.balanced() ? "ok" : "unbalanced");
    }
}
