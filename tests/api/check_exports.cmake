# Checks the dynamic symbol table of the plug-in library:
#  - every zephra_* function declared in the C interface header is exported, unmangled;
#  - the engine class's constructor, destructor and member operations are exported;
#  - nothing else of ours is: every exported name matches exported_names.txt, apart from
#    the toolchain's own names (the C++ runtime's templates, linker-made symbols,
#    sanitizer markers).
# Usage: cmake -DLIB=<libpxzp_lx.so> -DHEADER=<api/zephra.h> -DALLOWED=<exported_names.txt>
#        -P check_exports.cmake

execute_process(COMMAND nm -D --defined-only -C "${LIB}" OUTPUT_VARIABLE raw
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}: ${err}")
endif()
execute_process(COMMAND nm -D --defined-only "${LIB}" OUTPUT_VARIABLE mangledRaw)

string(REPLACE "\n" ";" lines "${raw}")
set(names "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
    list(APPEND names "${CMAKE_MATCH_1}")
  endif()
endforeach()

file(STRINGS "${ALLOWED}" allowedLines)
set(allowed "")
foreach(line IN LISTS allowedLines)
  if(NOT line MATCHES "^#" AND NOT line STREQUAL "")
    list(APPEND allowed "${line}")
  endif()
endforeach()
set(toolchain "^_init$" "^_fini$" "^_edata$" "^_end$" "^__bss_start$" "^std::" "^__gnu_cxx::"
    "^(typeinfo|typeinfo name|vtable|VTT|guard variable) for (std|__gnu_cxx)::"
    "^operator (new|delete)"
    # AddressSanitizer's one-definition-rule markers for exported objects.
    "^__odr_asan[._]")

set(failures "")
foreach(name IN LISTS names)
  set(ok FALSE)
  foreach(re IN LISTS allowed toolchain)
    if(name MATCHES "${re}")
      set(ok TRUE)
      break()
    endif()
  endforeach()
  if(NOT ok)
    string(APPEND failures "  exported but not meant to be: ${name}\n")
  endif()
endforeach()

# Every function of the C interface, unmangled.
file(STRINGS "${HEADER}" declarations REGEX "ZEPHRA_EXPORT")
set(functions "")
foreach(line IN LISTS declarations)
  if(line MATCHES "(zephra_[A-Za-z]+)\\(")
    list(APPEND functions "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(LENGTH functions count)
if(count LESS 29)
  string(APPEND failures "  only ${count} zephra_* declarations found in ${HEADER}\n")
endif()
foreach(fn IN LISTS functions)
  if(NOT mangledRaw MATCHES " T ${fn}\n")
    string(APPEND failures "  missing unmangled function: ${fn}\n")
  endif()
endforeach()

# The engine class and its member operations.
foreach(op VRFZephraTable ~VRFZephraTable setScreen setScreenRange setReplace setBackground
           setMp setNeutral setBalance setGain setExposure setGamma setOffset setSaturation
           useHold useGarbage useRef setView setColourspace setDstMax setFgMax setBgMax
           setRefMax setGMatteMax setHMatteMax installCallback nukeTables makeLuts render)
  set(found FALSE)
  foreach(name IN LISTS names)
    string(FIND "${name}" "VRFZephraTable::${op}(" at)
    if(at EQUAL 0)
      set(found TRUE)
      break()
    endif()
  endforeach()
  if(NOT found)
    string(APPEND failures "  missing member operation: VRFZephraTable::${op}\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "Dynamic symbol table of ${LIB}:\n${failures}")
endif()
message(STATUS "${LIB}: ${count} C functions and the engine class exported, nothing else")
