-- F2 ini file: a tiny ini reader/writer; 10,000 writes (each stored at once through a temporary file and a
-- rename) and 10,000 reads over 10 sections of 10 keys
local t0 = os.clock()
local sections, order = {}, {}
local function store(path)
  local tmp = path .. ".tmp"
  local f = io.open(tmp, "wb")
  for _, name in ipairs(order) do
    local sec = sections[name]
    f:write("[", sec.name, "]\r\n")
    for _, k in ipairs(sec.order) do f:write(sec.keys[k].name, "=", sec.keys[k].value, "\r\n") end
  end
  f:close()
  os.rename(tmp, path)
end
local function write(path, section, key, value)
  local sl = section:lower()
  local sec = sections[sl]
  if not sec then
    sec = {name = section, keys = {}, order = {}}
    sections[sl] = sec
    order[#order + 1] = sl
  end
  local kl = key:lower()
  if not sec.keys[kl] then sec.order[#sec.order + 1] = kl end
  sec.keys[kl] = {name = key, value = value}
  store(path)
end
local function read(section, key, default)
  local sec = sections[section:lower()]
  local entry = sec and sec.keys[key:lower()]
  if not entry then return default end
  return tonumber(entry.value) or 0
end
for i = 0, 9999 do write("kv_bench.ini", "s" .. (i % 10), "k" .. (i % 100), string.format("%.15g", i)) end
local s = 0
for i = 0, 9999 do s = s + read("s" .. (i % 10), "k" .. (i % 100), 0) end
os.remove("kv_bench.ini")
print(string.format("%.17g", s))
io.stderr:write(string.format("%.3f\n", os.clock() - t0))
