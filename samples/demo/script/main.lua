-- The demo: five tiles on the interface layer, each moved right every frame,
-- and four animated walkers pacing under their own coroutines; after three
-- seconds the game ends itself with exit code 0.
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

-- Walkers: four frames cut from one sheet (row 0 faces right for ways 0-3,
-- row 1 faces left for ways 4-7), played six frames each, for ever.
sprites.class_create{
  name = 'walker',
  image = { 'walker', nil, { 32, 32 } },
  scene = { { 0, 4, 0, 6 } },
}

-- Each walker paces under its own coroutine: one step a frame, turning at
-- the window's edges.
actors.class_create{
  name = 'walker',
  sprite = 'walker',
  param = { 0x100500 },  -- a coroutine start; the interface layer (index 5)
  action = {
    start = function(actor, speed)
      local sprite = actors.sprite(actor)
      while true do
        local x, y = actors.position(actor)
        if (speed > 0 and x > 620) or (speed < 0 and x < 20) then
          speed = -speed
          sprites.set_way(sprite, speed > 0 and 0 or 4)
        end
        actors.set_position(actor, x + speed, y, 0)
        actors.wait()
      end
    end,
  },
}

for i = 1, 4 do
  actors.create{ 'walker', 40 + i * 120, 360 + i * 20, 0, init = i }
end

system.fork(function()
  for second = 1, seconds do
    for frame = 1, fps do coroutine.yield() end
    system.trace(6, 'second ' .. second)
  end
  system.exit(0)
end)
