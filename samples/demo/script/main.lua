-- The demo: five tiles on the interface layer, each moved right every frame;
-- after three seconds the game ends itself with exit code 0.
local seconds = 3
local fps = 60

system.trace(6, 'demo started')

sprites.class_create{ name = 'tile', image = { 'tile' } }

-- Tiles are drawn on the interface layer (index 5), straight to the screen.
local tile_class = actors.class_create{
  name = 'tile',
  sprite = 'tile',
  param = { 0x500, { 0, 0 } },
  action = {
    default = function(actor)
      local x, y = actors.position(actor)
      if x > 640 + 32 then x = -32 end
      actors.set_position(actor, x + 3, y)
    end,
  },
}

for i = 0, 4 do
  actors.create{ 'tile', i * 140, 80 + i * 70, 0 }
end

system.fork(function()
  for second = 1, seconds do
    for frame = 1, fps do coroutine.yield() end
    system.trace(6, 'second ' .. second)
  end
  system.exit(0)
end)
