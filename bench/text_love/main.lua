-- LÖVE twin of bench/gbench_text.cpp: the same tile and text scenes from the same numbers (bench/text_scene.h).
-- Arguments: <sheet png> <font ttf> <tiles|text>. Prints "ms_per_frame=… covered=…".
local W, H, WARMUP, FRAMES = 640, 480, 20, 100
local GRID, SIZE, SHEET, STRINGS = 128, 16, 256, 500

function love.run()
  local sheetFile, fontFile, mode = arg[2], arg[3], arg[4]
  local file = io.open(sheetFile, "rb")
  local sheet = love.graphics.newImage(love.filesystem.newFileData(file:read("*a"), "sheet.png"))
  file:close()
  sheet:setFilter("linear", "linear")
  local quads = {}
  for k = 0, 255 do
    quads[k] = love.graphics.newQuad((k % 16) * SIZE, math.floor(k / 16) * SIZE, SIZE, SIZE, SHEET, SHEET)
  end
  file = io.open(fontFile, "rb")
  local font = love.graphics.newFont(love.filesystem.newFileData(file:read("*a"), "font.ttf"), 16)
  file:close()
  love.graphics.setFont(font)
  local covered = 0
  local function frame(f, last)
    love.graphics.clear(0x30 / 255, 0x30 / 255, 0x30 / 255, 1)
    love.graphics.setColor(1, 1, 1, 1)
    if mode == "tiles" then
      for k = 0, GRID * GRID - 1 do
        local x = (k % GRID) * 5 - (f % 16)
        local y = math.floor(k / GRID) * 3.75
        local left = (k * SIZE) % SHEET
        local top = (math.floor(k / 16) * SIZE) % SHEET
        love.graphics.draw(sheet, quads[math.floor(top / SIZE) * 16 + math.floor(left / SIZE)], x, y)
      end
    else
      for i = 0, STRINGS - 1 do
        local x = (i * 37 + f) % 560
        local y = (i * 13) % 460
        local n = 10000 + (i * 7919 + f) % 90000
        love.graphics.print("Score " .. n .. " fps 60.00", x, y)
      end
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
  local t0 = love.timer.getTime()
  for f = WARMUP, WARMUP + FRAMES - 1 do frame(f, f == WARMUP + FRAMES - 1) end
  local t1 = love.timer.getTime()
  print(string.format("ms_per_frame=%.3f covered=%d", (t1 - t0) * 1000 / FRAMES, covered))
  return function() return 0 end
end
