-- The demo: runs for three seconds of frames, then ends with exit code 0.
local seconds = 3
local fps = 60

system.trace(6, 'demo started')

system.fork(function()
  for second = 1, seconds do
    for frame = 1, fps do coroutine.yield() end
    system.trace(6, 'second ' .. second)
  end
  system.exit(0)
end)
