# 32-bit x86 Linux, with Debian's cross compiler (g++-i686-linux-gnu).
# Most x86-64 kernels run what is built here natively; where one does not,
# the tests run under qemu-i386-static, as CMakeLists.txt finds out.
# GoogleTest for the target comes from multiarch (libgtest-dev:i386).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
