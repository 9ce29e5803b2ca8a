# 64-bit ARM Linux, with Debian's cross compiler (g++-aarch64-linux-gnu).
# What is built runs here under qemu-user (qemu-user-static), with the
# cross compiler's libraries; GoogleTest for the target comes from
# multiarch (libgtest-dev:arm64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
find_program(GRADE_QEMU qemu-aarch64-static)
if(GRADE_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GRADE_QEMU} -L /usr/aarch64-linux-gnu)
endif()
