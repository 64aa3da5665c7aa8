// The Lua we build: compiled as C++ (errors unwind C++ frames) and with a
// native-function stack deep enough for unpack of large tables.
#include <gtest/gtest.h>
#include "lua.h"
#include "lauxlib.h"
#include "lualib.h"

namespace {
struct guard {
  bool* flag;
  ~guard() { *flag = true; }
};

bool unwound = false;
int raise_through_destructor(lua_State* L) {
  guard g{&unwound};
  return luaL_error(L, "boom");
}
}  // namespace

TEST(LuaBuild, UnpacksTwentyThousandValues) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  const char* chunk =
      "local t = {} for i = 1, 20000 do t[i] = i end "
      "return select('#', unpack(t))";
  ASSERT_EQ(0, luaL_dostring(L, chunk)) << lua_tostring(L, -1);
  EXPECT_EQ(20000, lua_tointeger(L, -1));
  lua_close(L);
}

TEST(LuaBuild, ErrorsRunCppDestructors) {
  lua_State* L = luaL_newstate();
  lua_pushcfunction(L, raise_through_destructor);
  EXPECT_NE(0, lua_pcall(L, 0, 0, 0));
  EXPECT_TRUE(unwound);
  lua_close(L);
}
