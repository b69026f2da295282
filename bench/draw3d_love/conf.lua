function love.conf(t)
  t.window.width = 640
  t.window.height = 480
  t.window.vsync = 0
  t.window.depth = 16
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
  t.modules.physics = false
end
