-- reports.sql: monthly queries for the finance team.
-- Parameters are written as :name and bound by the client.

-- 1. Revenue per month for the last year, with a running total.
WITH monthly AS (
    SELECT date_trunc('month', o.placed_at)::date AS month,
           SUM(l.quantity * l.unit_cents)        AS cents
      FROM orders o
      JOIN order_lines l USING (order_id)
     WHERE o.status IN ('paid', 'shipped')
       AND o.placed_at >= now() - INTERVAL '12 months'
     GROUP BY 1
)
SELECT to_char(month, 'YYYY-MM')                               AS month,
       round(cents / 100.0, 2)                                 AS revenue,
       round(SUM(cents) OVER (ORDER BY month) / 100.0, 2)       AS running_total,
       round(100.0 * (cents - LAG(cents) OVER (ORDER BY month))
             / NULLIF(LAG(cents) OVER (ORDER BY month), 0), 1) AS growth_pct
  FROM monthly
 ORDER BY month;

-- 2. Top customers; ties broken by e-mail so the output is stable.
SELECT c.display_name,
       c.email,
       COUNT(DISTINCT o.order_id) AS orders,
       SUM(t.total)               AS spent
  FROM customers c
  JOIN order_totals t ON t.email = c.email
  JOIN orders o       ON o.order_id = t.order_id
 WHERE c.is_active
   AND c.email NOT LIKE '%@example.test'
 GROUP BY c.display_name, c.email
HAVING SUM(t.total) > 100
 ORDER BY spent DESC, c.email
 LIMIT 20;

/* 3. Products never ordered.
      NOT EXISTS is clearer than NOT IN when product_id can be NULL. */
SELECT p.sku, p.name, p.price_cents / 100.0 AS price
  FROM products p
 WHERE NOT EXISTS (SELECT 1 FROM order_lines l WHERE l.product_id = p.product_id)
 ORDER BY p.sku;

-- 4. Orders whose note mentions a refund, case-insensitively.
SELECT order_id, status, left(note, 60) || CASE WHEN length(note) > 60 THEN '...' ELSE '' END AS preview
  FROM orders
 WHERE note ILIKE '%refund%'
    OR note ~* 'money\s+back';

-- 5. Cancel stale pending orders (run inside a transaction).
UPDATE orders
   SET status = 'cancelled',
       note = coalesce(note || E'\n', '') || 'Auto-cancelled: unpaid after 14 days; it''s policy.'
 WHERE status = 'pending'
   AND placed_at < now() - INTERVAL '14 days'
RETURNING order_id, customer_id;

-- 6. Tag statistics.
SELECT tag, COUNT(*) AS products, AVG(price_cents)::int AS avg_cents
  FROM products, unnest(tags) AS tag
 GROUP BY tag
 ORDER BY products DESC, tag;

-- 7. Orders from a given customer, by parameter.
SELECT o.order_id, o.placed_at, t.total
  FROM orders o
  JOIN order_totals t USING (order_id)
 WHERE o.customer_id = :customer_id
   AND o.placed_at BETWEEN :from_date AND :to_date
 ORDER BY o.placed_at DESC;
