#!/usr/bin/env lua
-- queue.lua - a double-ended queue
--[[
  Multi-line comment: words like function and end
  do not fold here { nor braces }.
]]
--[==[ a level-2 comment with ]] inside ]==]

local Queue = {}
Queue.__index = Queue

local MAX = 0xFF + 1e3 + 0x1p4
local HALF = .5

--- Creates an empty queue.
function Queue.new(name)
  local self = setmetatable({ first = 1, last = 0, items = {} }, Queue)
  self.name = name or "queue"
  return self
end

function Queue:push(value)
  if value == nil then
    error("cannot push nil into " .. self.name, 2)
  elseif #self.items >= MAX then
    error('queue "' .. self.name .. '" is full')
  else
    self.last = self.last + 1
    self.items[self.last] = value
  end
end

function Queue:pop()
  if self.first > self.last then return nil end
  local value = self.items[self.first]
  self.items[self.first] = nil
  self.first = self.first + 1
  return value
end

local help = [[
usage: queue [items...]
  pushes each item {and} pops them again
]]

local escaped = "tab\tquote\"newline\n\x41\u{263A}"

local function drain(q)
  local out = {}
  repeat
    local v = q:pop()
    if v then table.insert(out, tostring(v)) end
  until v == nil
  return table.concat(out, ", ")
end

local q = Queue.new("demo")
for i = 1, 3 do
  q:push(i * HALF)
end
for _, word in ipairs({ "a", "b" }) do
  q:push(word)
end
while false do
  goto continue
end
::continue::
print(help, escaped, drain(q), type(q) == "table" and true or false)
