function love.conf(t)
  t.window.width = 640
  t.window.height = 480
  t.window.vsync = 0
  t.window.title = 'bounce benchmark'
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
end
