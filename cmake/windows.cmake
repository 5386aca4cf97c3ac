# Settings shared by every cross-built Windows target.

# Warnings are errors in both architectures.
set(SETUP_WARNINGS -Wall -Wextra -Wno-cast-function-type -Werror)

# The product: small, no exceptions or run-time type information, no
# dependency on the compiler's own DLLs.
set(SETUP_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections)
set(SETUP_PRODUCT_LINK -static -s -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat
    -Wl,--high-entropy-va)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
    list(REMOVE_ITEM SETUP_PRODUCT_LINK -Wl,--high-entropy-va)
endif()

# The Windows platform headers this program is written against.
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
