# Shared part of the MinGW-w64 cross builds; the including toolchain file sets VELTRIN_ARCH
# (i686 or x86_64) and CMAKE_SYSTEM_PROCESSOR first. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(VELTRIN_MINGW_TRIPLE ${VELTRIN_ARCH}-w64-mingw32)

# GoogleTest needs std::mutex, which only the POSIX-threads variant of the compiler has.
set(CMAKE_C_COMPILER ${VELTRIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRIN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTRIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The runtime libraries go into the exe, so it needs only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The emulator is told the architecture, which chooses Wine's loader and prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh;${VELTRIN_ARCH}")
