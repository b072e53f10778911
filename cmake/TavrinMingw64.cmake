# Cross-builds the Windows program (x86-64) with mingw-w64's POSIX-thread compilers against the
# toolchain that scripts/windows-toolchain.sh builds: Qt in <toolchain>/qt, OpenSSL in
# <toolchain>/openssl, cpp-httplib's header in <toolchain>/httplib. The Windows programs run here
# under Wine, which CTest uses to start the tests.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/TavrinMingw64.cmake \
#         -DTAVRIN_WINDOWS_TOOLCHAIN="$(scripts/windows-toolchain.sh --path)"
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVRIN_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRIN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRIN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRIN_MINGW}-windres)

if(NOT TAVRIN_WINDOWS_TOOLCHAIN AND DEFINED ENV{TAVRIN_WINDOWS_TOOLCHAIN})
    set(TAVRIN_WINDOWS_TOOLCHAIN $ENV{TAVRIN_WINDOWS_TOOLCHAIN})
endif()
if(NOT IS_DIRECTORY "${TAVRIN_WINDOWS_TOOLCHAIN}/qt")
    message(FATAL_ERROR "TAVRIN_WINDOWS_TOOLCHAIN names the folder that "
        "scripts/windows-toolchain.sh builds (it has qt/, openssl/ and httplib/)")
endif()
set(TAVRIN_WINDOWS_TOOLCHAIN ${TAVRIN_WINDOWS_TOOLCHAIN} CACHE PATH "Windows cross toolchain" FORCE)
# Try-compiles see it too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVRIN_WINDOWS_TOOLCHAIN)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIN_MINGW} ${TAVRIN_WINDOWS_TOOLCHAIN}/qt
    ${TAVRIN_WINDOWS_TOOLCHAIN}/openssl ${TAVRIN_WINDOWS_TOOLCHAIN}/httplib)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_PREFIX_PATH ${TAVRIN_WINDOWS_TOOLCHAIN}/qt)
set(OPENSSL_ROOT_DIR ${TAVRIN_WINDOWS_TOOLCHAIN}/openssl)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# The translation tools run here, so they are the host's own.
set(Qt5LinguistTools_DIR /usr/lib/x86_64-linux-gnu/cmake/Qt5LinguistTools CACHE PATH "")
