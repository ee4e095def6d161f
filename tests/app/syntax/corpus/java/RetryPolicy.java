package com.example.net;

import java.io.IOException;
import java.time.Duration;
import java.util.Objects;
import java.util.Random;
import java.util.concurrent.Callable;
import java.util.function.Predicate;

/**
 * Retries a call with exponential back-off and jitter.
 *
 * @param <T> the result type
 */
public class RetryPolicy<T> {

    public static final int DEFAULT_ATTEMPTS = 5;
    private static final long MAX_DELAY_MS = 30_000L;
    private static final double JITTER = 0.2d;

    private final int maxAttempts;
    private final Duration baseDelay;
    private final Predicate<? super Exception> retryOn;
    private final Random random;

    private RetryPolicy(Builder<T> b) {
        this.maxAttempts = b.maxAttempts;
        this.baseDelay = Objects.requireNonNull(b.baseDelay, "baseDelay");
        this.retryOn = b.retryOn;
        this.random = new Random(b.seed);
    }

    public static <T> Builder<T> builder() {
        return new Builder<>();
    }

    /** Delay before attempt {@code n} (1-based), capped at {@value #MAX_DELAY_MS} ms. */
    long delayMillis(int n) {
        long exp = baseDelay.toMillis() << Math.min(n - 1, 20);
        double factor = 1.0 + (random.nextDouble() * 2 - 1) * JITTER;
        return Math.min(MAX_DELAY_MS, Math.round(exp * factor));
    }

    public T call(Callable<T> task) throws Exception {
        Exception last = null;
        for (int attempt = 1; attempt <= maxAttempts; attempt++) {
            try {
                return task.call();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                throw e;
            } catch (Exception e) {
                last = e;
                if (!retryOn.test(e) || attempt == maxAttempts) break;
                long wait = delayMillis(attempt);
                System.err.printf("attempt %d/%d failed (%s); retrying in %d ms%n", attempt, maxAttempts, e, wait);
                Thread.sleep(wait);
            }
        }
        throw last;
    }

    public static final class Builder<T> {
        private int maxAttempts = DEFAULT_ATTEMPTS;
        private Duration baseDelay = Duration.ofMillis(200);
        private Predicate<? super Exception> retryOn = e -> e instanceof IOException;
        private long seed = 42L;

        public Builder<T> maxAttempts(int n) {
            if (n < 1) throw new IllegalArgumentException("maxAttempts must be positive");
            this.maxAttempts = n;
            return this;
        }

        public Builder<T> baseDelay(Duration d) { this.baseDelay = d; return this; }
        public Builder<T> retryOn(Predicate<? super Exception> p) { this.retryOn = p; return this; }
        public Builder<T> seed(long s) { this.seed = s; return this; }
        public RetryPolicy<T> build() { return new RetryPolicy<>(this); }
    }

    public static void main(String[] args) throws Exception {
        int[] calls = {0};
        RetryPolicy<String> policy = RetryPolicy.<String>builder()
                .maxAttempts(3)
                .baseDelay(Duration.ofMillis(1))
                .build();
        String result = policy.call(() -> {
            if (++calls[0] < 3) throw new IOException("connection reset by peer: \"eof\"");
            return "ok after " + calls[0] + " calls";
        });
        System.out.println(result); // prints: ok after 3 calls
        /* block comment with a // inside and a "string" */
        char slash = '/', quote = '"';
        System.out.println("" + slash + quote + '\\' + "\u00e9t\u00e9");
    }
}
