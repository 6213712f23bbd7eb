# Cross build for 64-bit Windows with MinGW-w64: for systems without 32-bit support, and the
# suite's home on machines that cannot execute 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VELTRIN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
