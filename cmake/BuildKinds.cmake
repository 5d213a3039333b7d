# SPDX-License-Identifier: GPL-3.0-or-later
# The compiler and linker flags of the three kinds of build (see the options in CMakeLists.txt).
include(CheckCXXCompilerFlag)

if(LUMSIFTER_SANITIZE AND LUMSIFTER_FUZZ)
    message(FATAL_ERROR "LUMSIFTER_SANITIZE and LUMSIFTER_FUZZ are separate builds: choose one")
endif()

if(LUMSIFTER_SANITIZE OR LUMSIFTER_FUZZ)
    # Any report ends the process, so that a test or a fuzzing run cannot pass over it.
    set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    # clang: its runtime writes UndefinedBehaviorSanitizer's reports where AddressSanitizer's go (the
    # log_path of the sanitizer run), while gcc's writes them to standard error only, which the
    # database helper hands back to the program instead of showing; and libFuzzer comes with clang.
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "The sanitizer and fuzzing builds need clang (CC=clang-14 CXX=clang++-14)")
    endif()
    if(LUMSIFTER_FUZZ)
        # Coverage for the fuzzer in every library; only the fuzzer links its main.
        list(APPEND sanitizers -fsanitize=fuzzer-no-link)
    endif()
    add_compile_options(${sanitizers})
    add_link_options(-fsanitize=address,undefined)
    # What runs differently under the sanitizers: the helper without its address-space limit, given
    # more time to end, and the longest randomised tests with fewer rounds.
    add_compile_definitions(LUMSIFTER_SANITIZED)
    return()
endif()

# Hardened as Debian hardens its packages (dpkg-buildflags with hardening=+all), with the stack clash
# and control-flow protection of newer releases where the compiler has them, in every build type.
# Fortify needs an optimising build; Debug, for developers only, goes without it.
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "LUMSIFTER_HAS${flag}" has_flag)
    check_cxx_compiler_flag(${flag} ${has_flag})
    if(${has_flag})
        add_compile_options(${flag})
    endif()
endforeach()
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_link_options(-Wl,-z,relro -Wl,-z,now)
# Position-independent executables, linked as such (CMAKE_POSITION_INDEPENDENT_CODE compiles them so).
include(CheckPIESupported)
check_pie_supported()
