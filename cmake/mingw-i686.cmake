# Cross-compiling the 32-bit module and its tests with mingw-w64 (posix threads variant).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(WIDL_EXECUTABLE i686-w64-mingw32-widl)
set(WIDL_TARGET --win32 -m32)
# stdole2.tlb comes with 32-bit Wine; 64-bit Wine ships the identical type library, which serves when
# the 32-bit Wine is not installed (it can lag behind while a Debian mirror syncs).
if(EXISTS /usr/lib/i386-linux-gnu/wine/i386-windows/stdole2.tlb)
    set(WINE_STDOLE_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
else()
    set(WINE_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every program built here runs under 32-bit Wine, in the project's prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run;--win32)
