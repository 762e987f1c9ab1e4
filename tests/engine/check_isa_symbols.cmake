# Checks that the pixel loops compiled for AVX2 share no code with the portable ones: every
# global or weak name the AVX2 objects define lies in the zephra::avx2 namespace. A shared
# weak name (an inline function or template instantiated in both) would let the linker keep
# either copy, and a processor without AVX2 could end up running the AVX2 one.
# Usage: cmake -DOBJECTS=<the engine's object files, ;-separated> -P check_isa_symbols.cmake

# Names are compared mangled: a name of the namespace starts with its nested name.
set(ownNames "^_Z[A-Z]*N6zephra4avx2")
set(checked 0)
set(failures "")
foreach(object IN LISTS OBJECTS)
  if(NOT object MATCHES "[Aa]vx2")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  execute_process(COMMAND nm --defined-only "${object}" OUTPUT_VARIABLE raw
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${object}: ${err}")
  endif()
  string(REPLACE "\n" ";" lines "${raw}")
  foreach(line IN LISTS lines)
    # Upper-case kinds are global; V, W (weak) and u (unique global) are shared too.
    if(line MATCHES "^[0-9a-fA-F]+ ([A-Zu]) (.+)$")
      set(name "${CMAKE_MATCH_2}")
      if(name MATCHES "${ownNames}")
        continue()
      endif()
      # Sanitizer and toolchain bookkeeping emitted per object, and 32-bit x86's
      # position-independent code helpers (a load of the return address, no vector code).
      if(name MATCHES "^(__odr_asan|__asan_|__sancov|__tsan_|__ubsan_|\\.|__x86\\.get_pc_thunk\\.)")
        continue()
      endif()
      list(APPEND failures "${object}: ${CMAKE_MATCH_1} ${name}")
    endif()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no AVX2 objects among: ${OBJECTS}")
endif()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "names shared with the portable loops:\n  ${text}")
endif()
message(STATUS "${checked} AVX2 objects define only their own names")
