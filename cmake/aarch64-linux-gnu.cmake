# Cross-building for 64-bit ARM Linux with Debian's cross compiler (g++-aarch64-linux-gnu).
# Libraries come from Debian's multiarch arm64 packages (libudev-dev:arm64); binaries built here
# run on this machine through qemu-user-static, which CTest and test discovery use as emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The programs run on Debian's arm64 runtime libraries (libc6:arm64, libstdc++6:arm64 through
# multiarch), found as on an arm64 machine: the cross compiler's own copy of the C library
# (/usr/aarch64-linux-gnu) hangs in the first thread start under this qemu.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)

# pkg-config answers for arm64 only; host (x86) package descriptions are never read.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Libraries and packages only from the arm64 places (and the prefixes the caller gives, e.g. a
# cross-built googletest); programs such as pkg-config from the host.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
