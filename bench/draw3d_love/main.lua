-- LÖVE twin of bench/gbench_draw3d.cpp: the same 2,000 textured blocks (bench/draw3d_scene.h) as one mesh drawn
-- with a depth buffer and a shader doing the same per-vertex lighting (4 point lights) and linear fog.
-- Arguments: <texture dir> [frames, default 300]. Prints wall and process CPU ms per frame and the covered pixels.
local W, H, WARMUP = 640, 480, 20
local COLUMNS, ROWS, SPACING, SIZE = 50, 40, 24, 16
local FOG_START, FOG_END, RANGE = 300, 1400, 400

local function sub(a, b) return {a[1] - b[1], a[2] - b[2], a[3] - b[3]} end
local function cross(a, b) return {a[2] * b[3] - a[3] * b[2], a[3] * b[1] - a[1] * b[3], a[1] * b[2] - a[2] * b[1]} end
local function dot(a, b) return a[1] * b[1] + a[2] * b[2] + a[3] * b[3] end
local function norm(a) local l = math.sqrt(dot(a, a)) return {a[1] / l, a[2] / l, a[3] / l} end

-- Column-vector matrices, sent row by row.
local function lookAt(eye, at, up)
  local z = norm(sub(at, eye))
  local x = norm(cross(up, z))
  local y = cross(z, x)
  return {{x[1], x[2], x[3], -dot(x, eye)}, {y[1], y[2], y[3], -dot(y, eye)}, {z[1], z[2], z[3], -dot(z, eye)},
          {0, 0, 0, 1}}
end
local function perspective(fovy, aspect, zn, zf)
  local ys = 1 / math.tan(fovy / 2)
  return {{ys / aspect, 0, 0, 0}, {0, ys, 0, 0}, {0, 0, (zf + zn) / (zf - zn), -2 * zn * zf / (zf - zn)}, {0, 0, 1, 0}}
end

local shaderCode = [[
uniform mat4 u_view;
uniform mat4 u_proj;
uniform vec3 u_lightPos[4];
uniform vec2 u_fog;
uniform vec3 u_fogColour;
varying vec3 v_light;
varying float v_z;
#ifdef VERTEX
attribute vec3 VertexNormal;
vec4 position(mat4 tp, vec4 p) {
  vec3 sum = vec3(0.0);
  for (int i = 0; i < 4; ++i) {
    vec3 d = u_lightPos[i] - p.xyz;
    float dist = length(d);
    if (dist > ]] .. RANGE .. [[.0) continue;
    sum += vec3(1.0) * max(dot(VertexNormal, d / dist), 0.0) / (1.0 + dist * 4.0 / ]] .. RANGE .. [[.0);
  }
  v_light = min(sum, vec3(1.0));
  vec4 e = u_view * p;
  v_z = e.z;
  return u_proj * e;
}
#endif
#ifdef PIXEL
vec4 effect(vec4 colour, Image tex, vec2 uv, vec2 sc) {
  vec4 c = Texel(tex, uv) * vec4(v_light, 1.0) * colour;
  float f = clamp((u_fog.y - v_z) / (u_fog.y - u_fog.x), 0.0, 1.0);
  c.rgb = mix(u_fogColour, c.rgb, f);
  return c;
}
#endif
]]

local function blockVertices(out, x1, y1, z1, x2, y2, z2)
  local faces = {
    {{0, 0, -1}, {x1, y1, z1}, {x1, y2, z1}, {x2, y2, z1}, {x2, y1, z1}},
    {{0, 0, 1}, {x1, y1, z2}, {x2, y1, z2}, {x2, y2, z2}, {x1, y2, z2}},
    {{0, 1, 0}, {x1, y2, z1}, {x1, y2, z2}, {x2, y2, z2}, {x2, y2, z1}},
    {{1, 0, 0}, {x2, y2, z1}, {x2, y2, z2}, {x2, y1, z2}, {x2, y1, z1}},
    {{0, -1, 0}, {x2, y1, z1}, {x2, y1, z2}, {x1, y1, z2}, {x1, y1, z1}},
    {{-1, 0, 0}, {x1, y1, z1}, {x1, y1, z2}, {x1, y2, z2}, {x1, y2, z1}},
  }
  local uv = {{0, 0}, {0, 1}, {1, 1}, {1, 0}}
  for _, f in ipairs(faces) do
    local n = f[1]
    for _, k in ipairs({1, 2, 3, 1, 3, 4}) do
      local p = f[k + 1]
      out[#out + 1] = {p[1], p[2], p[3], uv[k][1], uv[k][2], n[1], n[2], n[3]}
    end
  end
end

function love.run()
  local dir = arg[2]
  local FRAMES = tonumber(arg[3] or "300")
  local file = io.open(dir .. "/block.png", "rb")
  local image = love.graphics.newImage(love.filesystem.newFileData(file:read("*a"), "block.png"))
  file:close()
  image:setWrap("repeat", "repeat")
  local verts = {}
  for i = 0, COLUMNS * ROWS - 1 do
    local x, y = (i % COLUMNS) * SPACING, math.floor(i / COLUMNS) * SPACING
    blockVertices(verts, x, y, -SIZE, x + SIZE, y + SIZE, 0)
  end
  local mesh = love.graphics.newMesh({{"VertexPosition", "float", 3}, {"VertexTexCoord", "float", 2},
                                      {"VertexNormal", "float", 3}}, verts, "triangles", "static")
  mesh:setTexture(image)
  local shader = love.graphics.newShader(shaderCode)
  shader:send("u_view", "row", lookAt({600, -250, -350}, {600, 500, 0}, {0, 0, -1}))
  shader:send("u_proj", "row", perspective(math.pi / 3, 4 / 3, 1, 3000))
  shader:send("u_fog", {FOG_START, FOG_END})
  shader:send("u_fogColour", {0x40 / 255, 0x40 / 255, 0x40 / 255})
  local covered = 0
  local function frame(f, last)
    love.graphics.clear(0x40 / 255, 0x40 / 255, 0x40 / 255, 1, true, 1)
    local lights = {}
    for l = 0, 3 do
      local a = f * 0.05 + l * math.pi / 2
      lights[l + 1] = {600 + 300 * math.cos(a), 480 + 300 * math.sin(a), -60}
    end
    shader:send("u_lightPos", unpack(lights))
    love.graphics.setDepthMode("lequal", true)
    love.graphics.setShader(shader)
    love.graphics.setColor(1, 1, 1, 1)
    love.graphics.draw(mesh)
    love.graphics.setShader()
    love.graphics.setDepthMode()
    if last then
      love.graphics.captureScreenshot(function(img)
        for py = 0, H - 1 do
          for px = 0, W - 1 do
            local r, g, b = img:getPixel(px, py)
            if math.floor(r * 255 + 0.5) ~= 0x40 or math.floor(g * 255 + 0.5) ~= 0x40 or math.floor(b * 255 + 0.5) ~= 0x40 then
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
