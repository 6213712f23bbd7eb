# Cross build for 32-bit Windows with MinGW-w64: the main product.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELTRIN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
