# Settings shared by every cross-built Windows target.

# Warnings are errors in both architectures.
set(SETUP_WARNINGS -Wall -Wextra -Wno-cast-function-type -Werror)

# The product: small, no exceptions or run-time type information, no
# dependency on the compiler's own DLLs. Small functions are called, not
# copied into each caller.
set(SETUP_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fno-inline-small-functions)
set(SETUP_PRODUCT_LINK -static -s -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat
    -Wl,--high-entropy-va)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
    # 32-bit Windows keeps the stack aligned to 4 bytes only; the program has
    # no data that needs more, so it does not realign it in every function.
    list(APPEND SETUP_PRODUCT_FLAGS -mpreferred-stack-boundary=2)
    # The 32-bit program, the one shipped for every Windows, is optimised as
    # one whole at the link: the compiler then sees which parameters and
    # branches every caller leaves unused, about a twelfth of the program.
    # (The 64-bit linker of these machines crashes on it.)
    list(APPEND SETUP_PRODUCT_FLAGS -flto)
    list(APPEND SETUP_PRODUCT_LINK -Os -flto)
endif()
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
    # Windows 95 and NT 4.0 load no program whose header asks for a later
    # version; say 4.0 rather than rely on the linker's default.
    list(REMOVE_ITEM SETUP_PRODUCT_LINK -Wl,--high-entropy-va)
    list(APPEND SETUP_PRODUCT_LINK -Wl,--major-os-version,4 -Wl,--minor-os-version,0
        -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)
endif()

# setup.exe starts at its own entry point (src/startup/main.cpp), without the
# C run-time's start-up code; a missing entry symbol is an error, not a
# warning.
set(SETUP_ENTRY_LINK -nostartfiles -Wl,--fatal-warnings -Wl,--entry=setup_entry)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
    # stdcall names carry their argument bytes on 32-bit Windows.
    set(SETUP_ENTRY_LINK -nostartfiles -Wl,--fatal-warnings -Wl,--entry=_setup_entry@0)
endif()

# The Windows platform headers this program is written against. setup.exe
# (setup_core and setup, whose targets set SETUP_OLDEST_WINDOWS) runs on
# Windows 95 and NT 4.0 as well: built against their headers, a newer platform
# call does not compile unless it is fetched with GetProcAddress, where its
# absence can be handled, instead of stopping the loader before the program
# starts. The tests and tools keep the newer headers.
set(SETUP_WINDOWS_VERSION $<IF:$<BOOL:$<TARGET_PROPERTY:SETUP_OLDEST_WINDOWS>>,0x0400,0x0601>)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=${SETUP_WINDOWS_VERSION}
    WINVER=${SETUP_WINDOWS_VERSION} NOMINMAX)
