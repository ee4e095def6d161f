-- schema.sql: tables for the order service.
-- Runs on PostgreSQL 14+; re-runnable thanks to IF NOT EXISTS.

/*
 * Naming: tables are plural, keys are "<table>_id".
 * Money is stored as integer cents, never as FLOAT.
 */

BEGIN;

CREATE TABLE IF NOT EXISTS customers (
    customer_id   BIGSERIAL PRIMARY KEY,
    email         VARCHAR(254) NOT NULL UNIQUE,
    display_name  TEXT         NOT NULL DEFAULT '',
    country_code  CHAR(2)      NOT NULL DEFAULT 'US' CHECK (country_code ~ '^[A-Z]{2}$'),
    created_at    TIMESTAMPTZ  NOT NULL DEFAULT now(),
    is_active     BOOLEAN      NOT NULL DEFAULT TRUE
);

CREATE TABLE IF NOT EXISTS products (
    product_id    SERIAL PRIMARY KEY,
    sku           VARCHAR(16)  NOT NULL UNIQUE,
    name          TEXT         NOT NULL,
    price_cents   INTEGER      NOT NULL CHECK (price_cents >= 0),
    weight_kg     NUMERIC(8, 3),
    tags          TEXT[]       NOT NULL DEFAULT '{}'
);

CREATE TABLE IF NOT EXISTS orders (
    order_id      BIGSERIAL PRIMARY KEY,
    customer_id   BIGINT       NOT NULL REFERENCES customers (customer_id) ON DELETE RESTRICT,
    status        VARCHAR(12)  NOT NULL DEFAULT 'pending'
                  CHECK (status IN ('pending', 'paid', 'shipped', 'cancelled')),
    placed_at     TIMESTAMPTZ  NOT NULL DEFAULT now(),
    note          TEXT
);

CREATE TABLE IF NOT EXISTS order_lines (
    order_id      BIGINT  NOT NULL REFERENCES orders (order_id) ON DELETE CASCADE,
    line_no       SMALLINT NOT NULL,
    product_id    INTEGER NOT NULL REFERENCES products (product_id),
    quantity      INTEGER NOT NULL CHECK (quantity > 0),
    unit_cents    INTEGER NOT NULL,
    PRIMARY KEY (order_id, line_no)
);

CREATE INDEX IF NOT EXISTS orders_customer_idx ON orders (customer_id, placed_at DESC);
CREATE INDEX IF NOT EXISTS products_tags_idx ON products USING GIN (tags);

COMMENT ON COLUMN orders.note IS 'Free text from the customer; may contain quotes like ''this''.';

-- Keep orders.status in step with payments.
CREATE OR REPLACE FUNCTION mark_paid(p_order BIGINT) RETURNS VOID
LANGUAGE plpgsql AS $$
BEGIN
    UPDATE orders SET status = 'paid' WHERE order_id = p_order AND status = 'pending';
    IF NOT FOUND THEN
        RAISE EXCEPTION 'order % is not pending', p_order;
    END IF;
END;
$$;

CREATE OR REPLACE VIEW order_totals AS
SELECT o.order_id,
       c.email,
       o.status,
       SUM(l.quantity * l.unit_cents) / 100.0 AS total,
       COUNT(*)                             AS line_count
  FROM orders o
  JOIN customers c   ON c.customer_id = o.customer_id
  JOIN order_lines l ON l.order_id = o.order_id
 GROUP BY o.order_id, c.email, o.status;

INSERT INTO customers (email, display_name, country_code)
VALUES ('ada@example.test', 'Ada Lovelace', 'GB'),
       ('obrien@example.test', 'Pat O''Brien', 'IE'),
       ('zoe@example.test', 'Zoë "Z" Martin', 'FR')
ON CONFLICT (email) DO NOTHING;

INSERT INTO products (sku, name, price_cents, weight_kg, tags)
VALUES ('AB-1001', 'Hex bolt M6', 8, 0.005, ARRAY['metal', 'small']),
       ('CD-2001', 'Polish -- extra shine', 650, 0.25, '{liquid}'),
       ('EF-3001', 'Cable /* 2m */', 499, 0.1, '{}')
ON CONFLICT (sku) DO UPDATE SET price_cents = EXCLUDED.price_cents;

COMMIT;
