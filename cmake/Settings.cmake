# Build settings shared by every target of the tree.

option(BRIND_BUILD_TESTS "Build the test suites" ON)
option(BRIND_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(BRIND_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(BRIND_WIN32 ON)
else()
  set(BRIND_WIN32 OFF)
endif()

set(BRIND_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)
# Tests build tables of cases from plain literals; narrowing there is not worth a cast each.
set(BRIND_TEST_WARNINGS -Wall -Wextra -Wshadow -Wno-missing-field-initializers -Werror)

if(BRIND_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(BRIND_WIN32)
  # Windows 95 is the target: 4.0 headers, 4.0 subsystem, nothing newer imported. _WIN32_WINNT
  # would otherwise default to the newest Windows and _WIN32_IE 0x0200 is the common controls
  # Windows 95 shipped with (4.00): declarations that came later are then not there to call.
  add_compile_definitions(WINVER=0x0400 _WIN32_WINDOWS=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0200
                          STRICT WIN32_LEAN_AND_MEAN NOMINMAX)
  # The code of the programs runs on the processors of Windows 95 (a 386 and up): the compiler's
  # default, the Pentium Pro, would use CMOV, which the 386, 486 and Pentium do not have.
  set(BRIND_WIN95_CPU -march=i386 -mtune=pentium)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# A portable library of the core: same flags everywhere; in the cross build it is compiled the
# way the small Win32 programs need it (no exceptions, no RTTI, sections that can be dropped).
function(brind_library name)
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE ${BRIND_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(BRIND_WIN32)
    target_compile_options(${name} PRIVATE -Os -fno-exceptions -fno-rtti
                                           -ffunction-sections -fdata-sections ${BRIND_WIN95_CPU})
    # Nothing unwinds without exceptions: unwind tables would only add to the programs' size.
    target_compile_options(${name} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
  endif()
endfunction()

# Windows 95 as it shipped has no MSVCRT.DLL, MinGW's default C runtime. The programs take the C
# functions they call from CRTDLL.DLL, which it does ship, and start at our own entry point
# (common/win32/Win95Runtime.cpp) instead of MinGW's start-up code, which brings wide-character
# and later Windows calls and most of the programs' size. Nothing runs MinGW's pseudo-relocations,
# so the link refuses the automatic imports that need them; Windows 95 loads the programs at their
# base and needs no relocations.
function(brind_win95_runtime name)
  target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/common/win32/Win95Runtime.cpp)
  target_link_options(${name} PRIVATE -specs=${PROJECT_SOURCE_DIR}/cmake/crtdll-link.gcc
                      -nostartfiles -Wl,-e,_BrindEntry -Wl,--disable-auto-import
                      -Wl,--disable-dynamicbase,--disable-reloc-section)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/crtdll-link.gcc)
endfunction()

# A Win32 GUI program: size-optimised, static, subsystem 4.0; its size is printed after each link.
function(brind_win32_program name output_name)
  add_executable(${name} WIN32 ${ARGN})
  set_target_properties(${name} PROPERTIES OUTPUT_NAME "${output_name}")
  target_compile_options(${name} PRIVATE ${BRIND_WARNINGS} -Os -fno-exceptions -fno-rtti
                                         -ffunction-sections -fdata-sections ${BRIND_WIN95_CPU})
  target_compile_options(${name} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  brind_win95_runtime(${name})
  target_link_options(${name} PRIVATE -s -Wl,--gc-sections -Wl,--subsystem,windows:4.0
                      -Wl,--major-os-version,4,--minor-os-version,0
                      -Wl,--major-subsystem-version,4,--minor-subsystem-version,0)
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${name}> -P ${PROJECT_SOURCE_DIR}/cmake/PrintSize.cmake
    VERBATIM)
endfunction()

# A native command-line tool of the Linux front ends.
function(brind_tool name)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE ${BRIND_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
