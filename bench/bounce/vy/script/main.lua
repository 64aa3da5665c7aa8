-- N actors, each a coroutine moving its 32x32 sprite and bouncing at the
-- window's edges, yielding once a frame. The runner writes N to
-- "actors.txt"; the frame rate over 300 frames goes to "result.txt".
local frames = 300
local f = io.open('actors.txt', 'r')
local n = f and tonumber(f:read('*l')) or 1000
if f then f:close() end

sprites.class_create{ name = 'cell', image = { 'cell' } }

actors.class_create{
  name = 'runner',
  sprite = 'cell',
  param = { 0x100100 },  -- a coroutine start; the object layer
  action = {
    start = function(actor, i)
      local x, y = (i * 37) % 608, (i * 53) % 448
      local dx, dy = 1 + i % 3, 1 + i % 2
      while true do
        x, y = x + dx, y + dy
        if x < 0 or x > 608 then dx = -dx x = x + 2 * dx end
        if y < 0 or y > 448 then dy = -dy y = y + 2 * dy end
        actors.set_position(actor, x, y, 0)
        actors.wait()
      end
    end,
  },
}

for i = 1, n do
  actors.create{ 'runner', (i * 37) % 608, (i * 53) % 448, 0, init = i }
end

system.fork(function()
  coroutine.yield()  -- the first frame pays for loading the image
  local start = os.clock()
  for _ = 1, frames do coroutine.yield() end
  local seconds = os.clock() - start
  local out = io.open('result.txt', 'w')
  out:write(string.format('%d %.4f %.2f\n', n, seconds, frames / seconds))
  out:close()
  system.exit(0)
end)
