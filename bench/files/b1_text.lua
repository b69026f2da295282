-- F1 text file: 100,000 reals written as " %.4f" lines and read back
local t0 = os.clock()
local f = io.open("kv_bench_text.txt", "wb")
for i = 0, 99999 do
  f:write(string.format(" %.4f", i * 0.5))
  f:write("\r\n")
end
f:close()
local s = 0
f = io.open("kv_bench_text.txt", "rb")
for i = 0, 99999 do
  s = s + f:read("n")
  f:read("l")
end
f:close()
os.remove("kv_bench_text.txt")
print(string.format("%.17g", s))
io.stderr:write(string.format("%.3f\n", os.clock() - t0))
