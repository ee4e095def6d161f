-- Inventory schema and the monthly report.
/* The tables are created in dependency order;
   run inside one transaction. */
BEGIN TRANSACTION;

CREATE TABLE suppliers (
    id          INTEGER PRIMARY KEY,
    name        VARCHAR(120) NOT NULL,
    country     CHAR(2) DEFAULT 'NL',
    created_at  TIMESTAMP DEFAULT CURRENT_TIMESTAMP
);

CREATE TABLE products (
    id           SERIAL PRIMARY KEY,
    supplier_id  INT REFERENCES suppliers (id) ON DELETE CASCADE,
    "Display Name" NVARCHAR(200),
    price        DECIMAL(10, 2) CHECK (price >= 0.0),
    weight_kg    FLOAT DEFAULT 1.5e-3,
    flags        INT DEFAULT 0x1F
);

CREATE INDEX idx_products_supplier ON products (supplier_id);

INSERT INTO suppliers (id, name, country) VALUES
    (1, 'Acme Corp.', 'US'),
    (2, 'O''Brien & Sons', 'IE'),
    (3, 'Multi-line
name', 'DE');

COMMIT;

-- Monthly totals per supplier
SELECT s.name,
       COUNT(p.id) AS product_count,
       SUM(p.price) AS total,
       COALESCE(MAX(p.price), 0) AS top_price,
       CASE
           WHEN SUM(p.price) > 1000 THEN 'large'
           WHEN SUM(p.price) > 100 THEN 'medium'
           ELSE 'small'
       END AS size_class
FROM suppliers s
LEFT JOIN products p ON p.supplier_id = s.id
WHERE s.country IN ('US', 'IE')
  AND p.`weight_kg` IS NOT NULL
GROUP BY s.name
HAVING COUNT(p.id) > 0
ORDER BY total DESC
LIMIT 10;

UPDATE products SET price = price * 1.05 WHERE supplier_id = @supplier; -- raise (prices)

DECLARE @total MONEY;

CREATE PROCEDURE restock(IN amount INT)
BEGIN
    DECLARE i INT DEFAULT 0;
    WHILE i < amount DO
        SET i = i + 1;
    END WHILE;
    IF amount > 100 THEN
        SELECT 'bulk order' AS note;
    END IF;
    LOOP
        LEAVE;
    END LOOP;
END;

SELECT id FROM products WHERE name LIKE '%(sale)%' AND id = $1;
DROP VIEW IF EXISTS cheap_products;
CREATE VIEW cheap_products AS
    SELECT * FROM products WHERE price < 10 AND flags <> 0;
