-- Catch: move the paddle with the arrow keys and catch the falling stars.
-- Escape ends the game; so does the last star.
local LEFT, RIGHT, QUIT = 1, 2, 21      -- logical codes from input.ini
local stars = tonumber(system.info('STARS')) or 10
local score, fallen = 0, 0

-- The backdrop: a field of sky cells with a row of bricks at the bottom.
fields.cell_create{ name = 'ground', image = 'ground',
  { { 0, 0, 32, 32 } },                -- 1: sky
  { { 32, 0, 64, 32 } } }              -- 2: brick
local cells = { format = { 20, 15 } }
for row = 1, 15 do
  for col = 1, 20 do cells[#cells + 1] = row == 15 and 2 or 1 end
end
fields.create{ name = 'sky', cell = 'ground', size = { 640, 480 }, cells }
fields.set('sky')

sprites.class_create{ name = 'paddle', image = { 'paddle' } }
sprites.class_create{ name = 'star', image = { 'star' } }

sounds.channel_create{ name = 'se', max_play = 4 }
sounds.create{ name = 'ding', channel = 'se', file = 'ding' }

-- The score line: a text box owned by an actor in the top-left corner.
local text
actors.class_create{ name = 'hud', param = { 0x500 },
  action = { default = function() text:step() end } }
local hud = actors.create{ 'hud', 8, 8, 0 }
text = new_text(hud, { 16, 400, '', rect = { 0, 0, 300, 24 } })
text:request(0x50000106, 0)             -- no reveal animation
local function show_score()
  text:request(0x50000102, 'Score ' .. score .. ' / ' .. stars)
end
show_score()

-- The paddle: moved by the player; its body is what stars meet.
actors.class_create{ name = 'paddle', sprite = 'paddle', param = { 0x100500 },
  body = { { 0, -32, -8, 32, 8 }, id = 1 },
  sensor = { { 0, -32, -8, 32, 8 }, id = 1 },
  action = { start = function(me)
    while true do
      local x = actors.x(me)
      if inputs.button(0, LEFT) ~= 0 and x > 40 then x = x - 6 end
      if inputs.button(0, RIGHT) ~= 0 and x < 600 then x = x + 6 end
      actors.set_position(me, x, 440, 0)
      actors.wait()
    end
  end } }
actors.create{ 'paddle', 320, 440, 0, name = 'paddle' }

local function star_done(caught)
  fallen = fallen + 1
  if caught then
    score = score + 1
    sounds.play('ding')
    show_score()
  end
  system.trace(6, 'catch', (caught and 'caught ' or 'missed ') .. fallen)
end

-- A star falls until it meets the paddle or leaves the screen.
actors.class_create{ name = 'star', sprite = 'star', param = { 0x100500 },
  body = { { 0, -8, -8, 8, 8 }, id = 2 },
  sensor = { { 0, -8, -8, 8, 8 }, id = 2 },
  action = {
    start = function(me, speed)
      while actors.y(me) < 480 do
        actors.set_position(me, actors.x(me), actors.y(me) + speed, 0)
        actors.wait()
      end
      star_done(false)
      actors.kill(me)
    end,
    collide = function(me, other)
      if actors.name(other) == 'paddle' and actors.is_alive(me) then
        star_done(true)
        actors.kill(me)
      end
    end,
  } }

-- The game's clock: a star every second; the first falls onto the paddle.
math.xrandomseed(7)
system.fork(function()
  local dropped = 0
  local frame = 0
  while fallen < stars do
    if inputs.button(0, QUIT) == 1 then break end
    if frame % 60 == 0 and dropped < stars then
      local x = dropped == 0 and 320 or math.xrandom(40, 600)
      actors.create{ 'star', x, 0, 0, init = 4 }
      dropped = dropped + 1
    end
    frame = frame + 1
    coroutine.yield()
  end
  system.trace(6, 'catch', 'game over: ' .. score .. ' of ' .. stars)
  system.exit(0)
end)
