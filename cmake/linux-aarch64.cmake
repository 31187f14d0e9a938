# 64-bit ARM Linux programs, built by clang for aarch64 with Debian's ARM
# cross libraries (libstdc++-12-dev-arm64-cross, binutils-aarch64-linux-gnu),
# which, unlike Debian's g++-aarch64-linux-gnu, can be installed beside
# g++-multilib. Linked statically so that qemu-aarch64 runs them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
