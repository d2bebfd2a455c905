# The -posix compilers: GoogleTest needs std::mutex, which the win32 thread
# model lacks.
set(CMAKE_C_COMPILER ${VEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEL_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${VEL_MINGW_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${VEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static zlib from libz-mingw-w64-dev; never the import library.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${VEL_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${VEL_MINGW_TRIPLE}/include CACHE PATH "")
