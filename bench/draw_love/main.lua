-- LÖVE twin of bench/gbench_draw.cpp: the same 10,000 sprites per frame from the same textures and formula.
-- Arguments: <texture dir> <textures: 1 or 16> [frames, default 200]. Prints wall and process CPU ms per frame and the covered pixel count.
local SPRITES, W, H, WARMUP = 10000, 640, 480, 20

function love.run()
  local dir, textures = arg[2], tonumber(arg[3] or "1")
  local FRAMES = tonumber(arg[4] or "200")
  local images = {}
  for k = 0, 15 do
    local file = io.open(dir .. "/sprite" .. k .. ".png", "rb")
    local data = love.filesystem.newFileData(file:read("*a"), "sprite" .. k .. ".png")
    file:close()
    images[k] = love.graphics.newImage(data)
    images[k]:setFilter("linear", "linear")
  end
  local covered = 0
  local function frame(f, last)
    love.graphics.clear(0x30 / 255, 0x30 / 255, 0x30 / 255, 1)
    love.graphics.setColor(1, 1, 1, 0.7)
    for i = 0, SPRITES - 1 do
      local x = (i * 37 + f * 3) % W
      local y = (i * 71 + f * 2) % H
      local a = (i * 7 + f * 5) % 360
      love.graphics.draw(images[i % textures], x, y, -a * math.pi / 180, 1, 1, 16, 16)
    end
    if last then
      love.graphics.captureScreenshot(function(img)
        for py = 0, H - 1 do
          for px = 0, W - 1 do
            local r, g, b = img:getPixel(px, py)
            if math.floor(r * 255 + 0.5) ~= 0x30 or math.floor(g * 255 + 0.5) ~= 0x30 or math.floor(b * 255 + 0.5) ~= 0x30 then
              covered = covered + 1
            end
          end
        end
      end)
    end
    love.graphics.present()
  end
  for f = 0, WARMUP - 1 do frame(f, false) end
  local t0, c0 = love.timer.getTime(), os.clock()
  for f = WARMUP, WARMUP + FRAMES - 1 do frame(f, f == WARMUP + FRAMES - 1) end
  local t1, c1 = love.timer.getTime(), os.clock()
  print(string.format("ms_per_frame=%.3f cpu_ms_per_frame=%.3f covered=%d", (t1 - t0) * 1000 / FRAMES,
                      (c1 - c0) * 1000 / FRAMES, covered))
  return function() return 0 end
end
