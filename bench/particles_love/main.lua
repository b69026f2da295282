-- LÖVE twin of bench/gbench_particles.cpp: ten particle systems, each emitting 125 particles a step (60 steps a
-- second) that live 80 steps, so 10,000 live per system; speeds 1..3 pixels a step in every direction, a pull
-- toward the emitter (radial acceleration), colour yellow → orange → red and alpha 1 → 0.8 → 0 over the life,
-- the same 32×32 flare image at size 0.4. Update and drawing are timed apart.
-- Arguments: <texture dir> [steps, default 300]. Prints update and draw ms per step.
local SYSTEMS, STREAM, LIFE, WARMUP = 10, 125, 80, 100

function love.run()
  local dir = arg[2]
  local STEPS = tonumber(arg[3] or "300")
  local file = io.open(dir .. "/flare.png", "rb")
  local image = love.graphics.newImage(love.filesystem.newFileData(file:read("*a"), "flare.png"))
  file:close()
  image:setFilter("linear", "linear")
  local systems = {}
  for k = 0, SYSTEMS - 1 do
    local ps = love.graphics.newParticleSystem(image, STREAM * LIFE)
    ps:setPosition(32 + k * 64, 240)
    ps:setEmissionArea("uniform", 16, 20)
    ps:setEmissionRate(STREAM * 60)
    ps:setParticleLifetime(LIFE / 60)
    ps:setSpeed(60, 180)
    ps:setSpread(2 * math.pi)
    ps:setRadialAcceleration(-0.05 * 3600, -0.05 * 3600)
    ps:setSizes(0.4)
    ps:setColors(1, 1, 0, 1, 1, 0.5, 0, 0.8, 1, 0, 0, 0)
    ps:start()
    systems[k + 1] = ps
  end
  local dt = 1 / 60
  local function update()
    for _, ps in ipairs(systems) do ps:update(dt) end
  end
  local function draw()
    love.graphics.clear(0, 0, 0, 1)
    for _, ps in ipairs(systems) do love.graphics.draw(ps) end
    love.graphics.present()
  end
  for _ = 1, WARMUP do update(); draw() end
  local up, dr = 0, 0
  for _ = 1, STEPS do
    local t0 = love.timer.getTime()
    update()
    local t1 = love.timer.getTime()
    draw()
    local t2 = love.timer.getTime()
    up, dr = up + (t1 - t0), dr + (t2 - t1)
  end
  local live = 0
  for _, ps in ipairs(systems) do live = live + ps:getCount() end
  print(string.format("update_ms=%.3f draw_ms=%.3f live=%d", up * 1000 / STEPS, dr * 1000 / STEPS, live))
  return function() return 0 end
end
