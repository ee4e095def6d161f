-- config-loader.lua: loads "key = value" settings with sections and types.
local config = {}

local defaults = {
  window = { width = 1024, height = 768, maximized = false },
  editor = { tab_width = 4, font = "Consolas", wrap = true },
}

local function trim(s)
  return (s:gsub("^%s+", ""):gsub("%s+$", ""))
end

local function coerce(raw)
  if raw == "true" then return true end
  if raw == "false" then return false end
  local n = tonumber(raw)
  if n then return n end
  local quoted = raw:match('^"(.*)"$') or raw:match("^'(.*)'$")
  if quoted then
    return (quoted:gsub("\\(.)", { n = "\n", t = "\t", ["\\"] = "\\", ['"'] = '"' }))
  end
  return raw
end

local function deep_copy(t)
  if type(t) ~= "table" then return t end
  local out = {}
  for k, v in pairs(t) do out[k] = deep_copy(v) end
  return out
end

--- Parses settings text.
-- Returns the table, or nil plus an error message with a line number.
function config.parse(text, base)
  local result = deep_copy(base or defaults)
  local section = result
  local lineno = 0
  for line in (text .. "\n"):gmatch("(.-)\r?\n") do
    lineno = lineno + 1
    line = trim(line:gsub("%s+;.*$", ""))
    if line == "" or line:sub(1, 1) == "#" then
      goto continue
    end
    local name = line:match("^%[([%w_%.]+)%]$")
    if name then
      result[name] = result[name] or {}
      section = result[name]
      goto continue
    end
    local key, value = line:match("^([%w_]+)%s*=%s*(.-)$")
    if not key then
      return nil, ("line %d: cannot parse %q"):format(lineno, line)
    end
    section[key] = coerce(value)
    ::continue::
  end
  return result
end

function config.load(path)
  local f, err = io.open(path, "rb")
  if not f then return deep_copy(defaults), err end
  local text = f:read("a")
  f:close()
  return config.parse(text)
end

local sample = [==[
# sample settings
[window]
width = 1280
maximized = true

[editor]
font = "Cascadia Mono"   ; inline comment
greeting = "say \"hi\"\tplease"
pattern = [[not a long string here]]
]==]

local cfg = assert(config.parse(sample))
print(cfg.window.width, cfg.window.maximized, cfg.editor.font, cfg.editor.greeting, cfg.editor.pattern)

return config
