--[[
  inventory.lua - a small inventory module with CSV import.

  Usage:
    local inv = require("inventory").new()
    inv:add("AB-1001", "Hex bolt", 12, 0.08)
]]

local M = {}
M.__index = M

local VERSION <const> = "1.2.0"
local LOW_STOCK = 5
local SKU_PATTERN = "^%u%u%-%d%d%d%d$"

--- Creates an empty inventory.
-- @return table
function M.new(opts)
  opts = opts or {}
  local self = setmetatable({}, M)
  self.items = {}
  self.count = 0
  self.low_stock = opts.low_stock or LOW_STOCK
  return self
end

function M:add(sku, name, qty, price)
  assert(type(sku) == "string" and sku:match(SKU_PATTERN), ("bad sku %q"):format(tostring(sku)))
  local item = self.items[sku]
  if item then
    item.qty = item.qty + qty
  else
    self.items[sku] = { sku = sku, name = name, qty = qty, price = price or 0.0 }
    self.count = self.count + 1
  end
  return self
end

function M:remove(sku, qty)
  local item = self.items[sku]
  if not item then
    return nil, "unknown sku '" .. sku .. "'"
  elseif item.qty < qty then
    return nil, string.format("only %d of %s left", item.qty, sku)
  end
  item.qty = item.qty - qty
  return item.qty <= self.low_stock and "low" or "ok"
end

function M:total()
  local sum = 0
  for _, item in pairs(self.items) do
    sum = sum + item.qty * item.price
  end
  return sum
end

-- Returns items sorted by sku, as an array.
function M:sorted()
  local list = {}
  for _, item in pairs(self.items) do list[#list + 1] = item end
  table.sort(list, function(a, b) return a.sku < b.sku end)
  return list
end

--- Parses one CSV line, handling "quoted, fields" and doubled "" quotes.
local function parse_csv_line(line)
  local fields, pos = {}, 1
  while pos <= #line + 1 do
    local c = line:sub(pos, pos)
    if c == '"' then
      local value, i = "", pos + 1
      while true do
        local q = line:find('"', i, true)
        if not q then error("unterminated quote in: " .. line) end
        value = value .. line:sub(i, q - 1)
        if line:sub(q + 1, q + 1) == '"' then
          value, i = value .. '"', q + 2
        else
          pos = q + 2
          break
        end
      end
      fields[#fields + 1] = value
    else
      local comma = line:find(",", pos, true) or (#line + 1)
      fields[#fields + 1] = line:sub(pos, comma - 1)
      pos = comma + 1
    end
  end
  return fields
end

function M:load_csv(text)
  local n = 0
  for line in text:gmatch("[^\r\n]+") do
    if not line:match("^%s*#") and not line:match("^sku,") then
      local f = parse_csv_line(line)
      self:add(f[1], f[2], math.tointeger(tonumber(f[3])) or 0, tonumber(f[4]))
      n = n + 1
    end
  end
  return n
end

M.VERSION = VERSION

--[==[
  A long comment with a different level, so that ]] inside does not end it:
  local t = {} t[ [[key]] ] = 1
]==]

if ... == nil then
  local inv = M.new { low_stock = 10 }
  local data = [[
sku,name,qty,price
AB-1001,"Bolt, hex M6",1200,0.08
# comment line
CD-2001,"Polish ""extra""",24,6.5
]]
  print(("loaded %d rows"):format(inv:load_csv(data)))
  print(inv:remove("CD-2001", 20), inv:remove("ZZ-0000", 1))
  for i, item in ipairs(inv:sorted()) do
    print(i, item.sku, item.name, item.qty, string.format("%.2f", item.price))
  end
  print("total", inv:total(), 0x10, 1e3, 2^10, 7 // 2, 7 % 3, #"héllo", 'it\'s', "tab\tend")
end

return M
