# Lua 5.1 from Debian's source package, compiled as C++ so that a Lua error
# unwinds C++ frames, with the C stack limit of native functions raised.
set(LUA_SRC ${VY_CACHE}/lua-5.1/src)
if(NOT EXISTS ${LUA_SRC}/lua.h)
  message(FATAL_ERROR "Lua sources missing in ${LUA_SRC}: run tools/setup.sh")
endif()
set(LUA_GEN ${CMAKE_BINARY_DIR}/lua)
file(GLOB lua_files ${LUA_SRC}/*.c ${LUA_SRC}/*.h)
file(COPY ${lua_files} DESTINATION ${LUA_GEN})
file(READ ${LUA_SRC}/luaconf.h luaconf)
string(REGEX REPLACE "#define LUAI_MAXCSTACK[ \t]+8000" "#define LUAI_MAXCSTACK\t32767" luaconf "${luaconf}")
if(NOT luaconf MATCHES "LUAI_MAXCSTACK\t32767")
  message(FATAL_ERROR "could not raise LUAI_MAXCSTACK")
endif()
file(WRITE ${LUA_GEN}/luaconf.h "${luaconf}")
file(GLOB lua_c ${LUA_GEN}/*.c)
list(FILTER lua_c EXCLUDE REGEX "/(lua|luac|print)\\.c$")
set_source_files_properties(${lua_c} PROPERTIES LANGUAGE CXX)
add_library(lua51 STATIC ${lua_c})
target_include_directories(lua51 PUBLIC ${LUA_GEN})
target_compile_options(lua51 PRIVATE -w)

# GoogleTest, cross-built from Debian's sources.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Ogg Vorbis decoder from Debian's libogg and libvorbis sources. The engine
# loads it at run time from "lib\" beside itself, picking the build by the
# processor: liboggvorbis2.dll (SSE2), liboggvorbis1.dll (SSE) or
# liboggvorbis.dll (neither). The static encoder library serves tests only.
set(OGG_SRC ${VY_CACHE}/libogg)
set(VORBIS_SRC ${VY_CACHE}/libvorbis)
if(NOT EXISTS ${OGG_SRC}/src/framing.c OR NOT EXISTS ${VORBIS_SRC}/lib/vorbisfile.c)
  message(FATAL_ERROR "libogg/libvorbis sources missing in ${VY_CACHE}: run tools/setup.sh")
endif()
set(VY_OGGVORBIS_INCLUDE ${OGG_SRC}/include ${VORBIS_SRC}/include)
set(oggvorbis_sources ${OGG_SRC}/src/bitwise.c ${OGG_SRC}/src/framing.c)
foreach(f mdct smallft block envelope window lsp lpc analysis synthesis psy info
          floor1 floor0 res0 mapping0 registry codebook sharedbook lookup bitrate vorbisfile)
  list(APPEND oggvorbis_sources ${VORBIS_SRC}/lib/${f}.c)
endforeach()

function(vy_oggvorbis_dll target output)
  add_library(${target} SHARED ${oggvorbis_sources})
  target_include_directories(${target} PRIVATE ${VY_OGGVORBIS_INCLUDE} ${VORBIS_SRC}/lib)
  target_compile_options(${target} PRIVATE -w -O2 ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${output}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/lib)
endfunction()
vy_oggvorbis_dll(oggvorbis_sse2 liboggvorbis2)
vy_oggvorbis_dll(oggvorbis_sse liboggvorbis1 -mno-sse2 -msse -mfpmath=387)
vy_oggvorbis_dll(oggvorbis_plain liboggvorbis -mno-sse -mfpmath=387)

add_library(vorbisenc_static STATIC ${oggvorbis_sources} ${VORBIS_SRC}/lib/vorbisenc.c)
target_include_directories(vorbisenc_static PUBLIC ${VY_OGGVORBIS_INCLUDE})
target_include_directories(vorbisenc_static PRIVATE ${VORBIS_SRC}/lib)
target_compile_options(vorbisenc_static PRIVATE -w -O2)
