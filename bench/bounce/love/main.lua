-- The same work as the engine's bounce game: N coroutines, each moving its
-- 32x32 sprite and bouncing at the edges, one resume a frame, every sprite
-- drawn every frame. Usage: love <this folder> N; prints "N seconds fps".
local frames = 300
local n, image, actors = 1000, nil, {}
local done, start = -1, 0

local function runner(a, i)
  local x, y = (i * 37) % 608, (i * 53) % 448
  local dx, dy = 1 + i % 3, 1 + i % 2
  while true do
    x, y = x + dx, y + dy
    if x < 0 or x > 608 then dx = -dx x = x + 2 * dx end
    if y < 0 or y > 448 then dy = -dy y = y + 2 * dy end
    a.x, a.y = x, y
    coroutine.yield()
  end
end

function love.load(args)
  n = tonumber(args[1]) or n
  image = love.graphics.newImage('cell.bmp')
  for i = 1, n do
    local a = { x = 0, y = 0 }
    a.co = coroutine.create(runner)
    coroutine.resume(a.co, a, i)
    actors[i] = a
  end
end

function love.update()
  for i = 1, n do coroutine.resume(actors[i].co) end
  done = done + 1
  if done == 0 then start = love.timer.getTime() end
  if done == frames then
    local seconds = love.timer.getTime() - start
    print(string.format('%d %.4f %.2f', n, seconds, frames / seconds))
    love.event.quit()
  end
end

function love.draw()
  for i = 1, n do
    local a = actors[i]
    love.graphics.draw(image, a.x, a.y)
  end
end
