-- B4 paths and queries: Lua 5.4 reference (plain Lua, no graphics). Game: bench/games/b4_paths_and_queries.
-- 2,000 runners follow a smooth closed path (relative starts, restart at the end); each step 1,000
-- collision_circle and 1,000 instance_nearest queries; every 10 steps a grid path on a 64 x 64 grid; 100 steps.
-- stdout: the checksum (the text after "check=" in the game's output); stderr: seconds for the 100 steps.
local floor, sqrt = math.floor, math.sqrt

-- round half to even (the runner's real -> pixel rounding)
local function rhe(v)
  local f = floor(v); local d = v - f
  if d > 0.5 then return f + 1 elseif d < 0.5 then return f end
  if f % 2 == 0 then return f end
  return f + 1
end

-- ---- the smooth closed curve of the path ----
local function pt(x, y, s) return {x = x, y = y, s = s, len = 0} end
local function mid(a, b) return pt((a.x + b.x) / 2, (a.y + b.y) / 2, (a.s + b.s) / 2) end
local function dist2(a, b) return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) end
local function subdivide(S, C, E, depth, out)
  if depth <= 0 then return end
  local M = pt((S.x + 2 * C.x + E.x) / 4, (S.y + 2 * C.y + E.y) / 4, (S.s + 2 * C.s + E.s) / 4)
  if dist2(C, S) > 16 then subdivide(S, mid(S, C), M, depth - 1, out) end
  out[#out + 1] = M
  if dist2(C, E) > 16 then subdivide(M, mid(C, E), E, depth - 1, out) end
end
local P = {pt(0, 0, 100), pt(60, 0, 100), pt(60, 40, 100), pt(0, 40, 100)}
local curve = {}
for k = 0, #P - 1 do
  local p0, p1, p2 = P[k + 1], P[(k + 1) % #P + 1], P[(k + 2) % #P + 1]
  subdivide(mid(p0, p1), p1, mid(p1, p2), 4, curve)
end
curve[#curve + 1] = pt(curve[1].x, curve[1].y, curve[1].s)
for i = 2, #curve do curve[i].len = curve[i - 1].len + sqrt(dist2(curve[i - 1], curve[i])) end
local N, LENGTH, FX, FY = #curve, curve[#curve].len, curve[1].x, curve[1].y

local function positionAt(pos)                 -- x, y along the curve (pos in 0 ... 1, clamped)
  if not (pos > 0) then return curve[1].x, curve[1].y end
  if pos >= 1 then return curve[N].x, curve[N].y end
  local d = LENGTH * pos
  local lo, hi = 2, N - 1                       -- first of curve[2 .. N-1] with len > d, else N
  while lo <= hi do
    local m = (lo + hi) // 2
    if curve[m].len > d then hi = m - 1 else lo = m + 1 end
  end
  local a, b = curve[lo - 1], curve[lo]
  local piece = b.len - a.len
  if piece <= 0 then return a.x, a.y end
  local t = (d - a.len) / piece
  return a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t
end

-- ---- runners ----
local runners = {}
for k = 0, 1999 do
  local id = 100002 + k
  local x, y = (k % 50) * 20, (k // 50) * 18
  runners[k + 1] = {k = k, x = x, y = y, pos = 0, speed = 1 + id % 7, rx = x, ry = y}
end
local function follow(r)                        -- one step along the path, restart at the end
  r.pos = r.pos + r.speed * (100 / (100 * 1)) / LENGTH
  if r.pos >= 1 or r.pos <= 0 then r.pos = r.pos - 1 end
  local px, py = positionAt(r.pos)
  r.x = (px - FX) + r.rx
  r.y = (py - FY) + r.ry
end

-- boxes of the 8 x 8 sprite and two grids per step: boxes (circle queries) and positions (nearest)
local CS = 32
local boxGrid, posGrid
local function rebuild()
  boxGrid, posGrid = {}, {}
  for _, r in ipairs(runners) do
    r.l, r.t = rhe(r.x), rhe(r.y)
    r.r, r.b = rhe((r.x + 8) - 1), rhe((r.y + 8) - 1)
    for cx = floor(r.l / CS), floor(r.r / CS) do
      for cy = floor(r.t / CS), floor(r.b / CS) do
        local key = cx * 4096 + cy; local c = boxGrid[key]
        if not c then c = {}; boxGrid[key] = c end
        c[#c + 1] = r
      end
    end
    local key = floor(r.x / CS) * 4096 + floor(r.y / CS); local c = posGrid[key]
    if not c then c = {}; posGrid[key] = c end
    c[#c + 1] = r
  end
end

local function circleHits(r, x1, y1, x2, y2)     -- the ellipse test of the runner's box
  if not (x1 < r.r + 1 and x2 >= r.l and y1 < r.b + 1 and y2 >= r.t) then return false end
  local cx, cy = (x1 + x2) / 2, (y1 + y2) / 2
  if (cx < r.l or cx > r.r) and (cy < r.t or cy > r.b) then
    local rl, rt, rr, rb = rhe(x1), rhe(y1), rhe(x2), rhe(y2)
    local ecx, ecy, erx, ery = (rl + rr) / 2, (rt + rb) / 2, (rr - rl) / 2, (rb - rt) / 2
    local function inside(px, py)
      local dx, dy = (px - ecx) / erx, (py - ecy) / ery
      return dx * dx + dy * dy <= 1
    end
    if not (inside(r.l, r.t) or inside(r.l, r.b) or inside(r.r, r.t) or inside(r.r, r.b)) then return false end
  end
  return true
end
local function collisionCircle(qx, qy, rad)      -- first runner in creation order, or nil
  local x1, y1, x2, y2 = qx - rad, qy - rad, qx + rad, qy + rad
  local best
  for cx = floor((x1 - 1) / CS), floor((x2 + 1) / CS) do
    for cy = floor((y1 - 1) / CS), floor((y2 + 1) / CS) do
      local c = boxGrid[cx * 4096 + cy]
      if c then
        for _, r in ipairs(c) do
          if (not best or r.k < best.k) and circleHits(r, x1, y1, x2, y2) then best = r end
        end
      end
    end
  end
  return best
end
local function nearest(qx, qy)                   -- ring search; equal distances: first in creation order
  local qcx, qcy = floor(qx / CS), floor(qy / CS)
  local best, bestD = nil, 1e10
  for ring = 0, 64 do
    for cx = qcx - ring, qcx + ring do
      for cy = qcy - ring, qcy + ring do
        if cx == qcx - ring or cx == qcx + ring or cy == qcy - ring or cy == qcy + ring then
          local c = posGrid[cx * 4096 + cy]
          if c then
            for _, r in ipairs(c) do
              local d = (r.x - qx) * (r.x - qx) + (r.y - qy) * (r.y - qy)
              if d < bestD or (d == bestD and best and r.k < best.k) then best, bestD = r, d end
            end
          end
        end
      end
    end
    if best and bestD < (ring * CS) * (ring * CS) then break end
  end
  return best
end

-- ---- the motion-planning grid ----
local H, V = 64, 64
local cells = {}
for i = 0, H * V - 1 do cells[i] = 0 end
for k = 0, 899 do cells[((k * 37 + (k // 64) * 3) % 64) * V + (k * k * 7 + k * 13 + 5 + k // 64) % 64] = -1 end
cells[0] = 0
local function gridPathPoints(xs, ys, xg, yg)    -- the point count of mp_grid_path's path, or nil
  local si, sj, gi, gj = xs // 16, ys // 16, xg // 16, yg // 16
  if cells[si * V + sj] ~= 0 or cells[gi * V + gj] ~= 0 then return nil end
  local queue, touched = {si * V + sj}, {si * V + sj}
  cells[si * V + sj] = 1
  local head, found = 1, false
  while head <= #queue do
    local c = queue[head]; head = head + 1
    local i, j = c // V, c % V
    if i == gi and j == gj then found = true; break end
    local nextLabel = cells[c] + 1
    local function open(di, dj)
      local a, b = i + di, j + dj
      return a >= 0 and a < H and b >= 0 and b < V and cells[a * V + b] == 0
    end
    local l, r, u, d = open(-1, 0), open(1, 0), open(0, -1), open(0, 1)
    local dl, ul, dr, ur = open(-1, 1), open(-1, -1), open(1, 1), open(1, -1)
    local function label(di, dj)
      local n = (i + di) * V + (j + dj)
      cells[n] = nextLabel; queue[#queue + 1] = n; touched[#touched + 1] = n
    end
    if l then label(-1, 0) end
    if r then label(1, 0) end
    if u then label(0, -1) end
    if d then label(0, 1) end
    if dl and d and l then label(-1, 1) end
    if ul and u and l then label(-1, -1) end
    if dr and d and r then label(1, 1) end
    if ur and u and r then label(1, -1) end
  end
  local count
  if found then
    local L = cells[gi * V + gj]
    count = L >= 2 and L or 2                      -- goal, the L - 2 cells between, start
  end
  for _, n in ipairs(touched) do if cells[n] > 0 then cells[n] = 0 end end
  return count
end

-- ---- the game ----
local hits, near, mp = 0, 0, 0
local t0 = os.clock()
for step = 1, 100 do
  rebuild()
  for k = 0, 999 do
    local qx, qy = (k * 37 + step * 11) % 1024, (k * 53 + step * 7) % 768
    local c = collisionCircle(qx, qy, 10)
    if c then hits = hits + (100002 + c.k) - 100000 end
    local n = nearest(qx, qy)
    near = near + (n and (100002 + n.k) or -4) - 100000
  end
  if step % 10 == 0 then
    local n = gridPathPoints(8, 8, ((step * 13) % 64) * 16 + 8, ((step * 29) % 64) * 16 + 8)
    mp = mp + (n or 1000)
  end
  for _, r in ipairs(runners) do follow(r) end
end
local sx = 0
for _, r in ipairs(runners) do sx = sx + floor(r.x) + 3 * floor(r.y) end
print(string.format("%d %d %d %d", hits, near, mp, sx))
io.stderr:write(string.format("%.3f\n", os.clock() - t0))
