# Compile options, scoped per target.
#
#   battery_fp        floating-point semantics: every target of the project
#   battery_warnings  warnings (as errors unless BATTERY_WERROR is off): our own code
#   battery_sanitize  AddressSanitizer and UBSan, when BATTERY_SANITIZE is on, and the
#                     fuzzer's coverage instrumentation when BATTERY_FUZZ is on
#   battery_target_flags(<target>)   gives a target all three
#
# The printed digits depend on every double operation being rounded on its own:
# no fused multiply-add, no fast-math, no x87 (x86-64 does its double arithmetic
# in SSE2 already). These are build-interface only: an installed library does
# not impose them on its users.
add_library(battery_fp INTERFACE)
target_compile_options(battery_fp INTERFACE -ffp-contract=off -fno-fast-math)

add_library(battery_warnings INTERFACE)
target_compile_options(battery_warnings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${BATTERY_WERROR}>:-Werror>)

add_library(battery_sanitize INTERFACE)
if(BATTERY_SANITIZE)
  set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
  target_compile_options(battery_sanitize INTERFACE ${sanitize_flags} -fno-omit-frame-pointer)
  target_link_options(battery_sanitize INTERFACE ${sanitize_flags})
endif()

# Coverage feedback for the fuzzer in every library; the fuzz targets link the
# fuzzer's own main (tests/fuzz/CMakeLists.txt).
if(BATTERY_FUZZ)
  target_compile_options(battery_sanitize INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                    -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(battery_sanitize INTERFACE -fsanitize=address,undefined)
endif()

# battery_scope(<target> <scope> <var>): <scope>, or INTERFACE for a library
# of headers only, which takes no other.
function(battery_scope target scope var)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  endif()
  set(${var} ${scope} PARENT_SCOPE)
endfunction()

function(battery_target_flags target)
  battery_scope(${target} PRIVATE scope)
  target_link_libraries(${target} ${scope} $<BUILD_INTERFACE:battery_fp> $<BUILD_INTERFACE:battery_warnings>
                                           $<BUILD_INTERFACE:battery_sanitize>)
endfunction()
