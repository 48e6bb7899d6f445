# The fuzz preset's compiler: clang by the version the Debian release ships (19 on Debian 13, 14
# on Debian 12, as ./dev.sh installs them), or the unversioned one.
find_program(KOKUGO_CLANGXX NAMES clang++-19 clang++-14 clang++ REQUIRED)
set(CMAKE_CXX_COMPILER ${KOKUGO_CLANGXX})
