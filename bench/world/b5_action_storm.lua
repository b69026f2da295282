-- B5 action storm: Lua 5.4 reference (plain Lua, no graphics). Game: bench/games/b5_action_storm.
-- stdout: the checksum (the text after "check=" in the game's output); stderr: seconds for the 1000 steps.
local floor = math.floor

local seed = 0                                   -- random_set_seed / random(x)
local function random(x)
  seed = (seed * 134775813 + 1) & 0xFFFFFFFF
  return seed / 4294967296 * x
end

local W, H = 1024, 1024
local movers, score = {}, 0
seed = 12345
for _ = 1, 5000 do
  local x = floor(random(1024)); local y = floor(random(1024))
  local i = {x = x, y = y}
  i.hs = floor(random(9)) - 4; i.vs = floor(random(5)) - 2; i.al0 = 1 + floor(random(20))
  movers[#movers + 1] = i
end

local function step(i)
  if i.hs > 4 then i.hs = -4 else i.hs = i.hs + 1 end        -- if hspeed > 4 / else relative +1
  if i.al0 < 0 then i.al0 = 10 end                           -- if alarm[0] < 0: set alarm 0 to 10
  -- bounce against solid instances: there are none
  if i.hs < 0 and i.x < 0 then i.x = i.x + W elseif i.hs > 0 and i.x >= W then i.x = i.x - W end  -- wrap (no sprite)
  if i.vs < 0 and i.y < 0 then i.y = i.y + H elseif i.vs > 0 and i.y >= H then i.y = i.y - H end
  score = score + 1
end

local t0 = os.clock()
for _ = 1, 1000 do
  for k = 1, #movers do local i = movers[k]                   -- alarm 0: count down, fire on reaching 0
    if i.al0 >= 0 then i.al0 = i.al0 - 1 end
    if i.al0 == 0 then i.vs = -i.vs end
  end
  for k = 1, #movers do step(movers[k]) end
  for k = 1, #movers do local i = movers[k]; i.x = i.x + i.hs; i.y = i.y + i.vs end
end
local sx = 0
for k = 1, #movers do local i = movers[k]; sx = sx + i.x + 3 * i.y + i.hs end
print(string.format("%d", sx + score))
io.stderr:write(string.format("%.3f\n", os.clock() - t0))
