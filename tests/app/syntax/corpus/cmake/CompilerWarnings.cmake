#[=======================================================================[.rst:
CompilerWarnings
----------------

Helpers that apply a consistent warning set to targets.

.. command:: morrow_set_warnings

  .. code-block:: cmake

    morrow_set_warnings(<target>
                        [AS_ERRORS]
                        [LEVEL <low|normal|pedantic>]
                        [EXTRA <flag>...]
                        [SUPPRESS <flag>...])

  ``AS_ERRORS`` turns warnings into errors (``/WX`` or ``-Werror``).

  Flags are passed through ``$<$<COMPILE_LANGUAGE:CXX>:...>`` so that C
  sources are left alone.  Writing ``[[maybe_unused]]`` or ``a[b[0]]`` in
  this text is fine; so is ``]==]`` with two equals signs.

#]=======================================================================]

include_guard(GLOBAL)

set(_MORROW_MSVC_LOW   /W3)
set(_MORROW_MSVC_NORMAL /W4 /permissive- /w14242 /w14254 /w14263)
set(_MORROW_GCC_LOW    -Wall)
set(_MORROW_GCC_NORMAL -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast)

#[==[
  Pedantic extras.  Kept in a bracket comment's neighbourhood so that the
  list below is easy to diff; a stray ]] or ]=] here does not end it.
]==]
set(_MORROW_GCC_PEDANTIC ${_MORROW_GCC_NORMAL}
  -Wpedantic
  -Wconversion
  -Wsign-conversion
  -Wnull-dereference
  -Wdouble-promotion
  -Wformat=2
)

function(_morrow_pick_flags out_var level)
  if(MSVC)
    if(level STREQUAL "low")
      set(flags ${_MORROW_MSVC_LOW})
    elseif(level STREQUAL "normal" OR level STREQUAL "pedantic")
      set(flags ${_MORROW_MSVC_NORMAL})
    else()
      message(FATAL_ERROR "Unknown warning level '${level}' (expected low|normal|pedantic)")
    endif()
  elseif(CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang|AppleClang)$")
    string(TOUPPER "${level}" _lvl)
    set(flags ${_MORROW_GCC_${_lvl}})
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND level STREQUAL "pedantic")
      list(APPEND flags -Wduplicated-cond -Wlogical-op -Wuseless-cast)
    endif()
  else()
    message(WARNING "No warning table for compiler \"${CMAKE_CXX_COMPILER_ID}\"")
    set(flags "")
  endif()
  set(${out_var} ${flags} PARENT_SCOPE)
endfunction()

function(morrow_set_warnings target)
  set(options AS_ERRORS)
  set(one_value_args LEVEL)
  set(multi_value_args EXTRA SUPPRESS)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "${options}" "${one_value_args}" "${multi_value_args}")

  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "morrow_set_warnings: unexpected arguments: ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "morrow_set_warnings: '${target}' is not a target")
  endif()
  if(NOT DEFINED ARG_LEVEL)
    set(ARG_LEVEL normal)
  endif()

  _morrow_pick_flags(_flags ${ARG_LEVEL})
  list(APPEND _flags ${ARG_EXTRA})

  foreach(_s IN LISTS ARG_SUPPRESS)
    if(MSVC)
      list(APPEND _flags "/wd${_s}")
    else()
      list(APPEND _flags "-Wno-${_s}")
    endif()
  endforeach()

  if(ARG_AS_ERRORS)
    list(APPEND _flags $<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
  endif()

  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    set(_scope INTERFACE)
  else()
    set(_scope PRIVATE)
  endif()

  target_compile_options(${target} ${_scope}
    "$<$<COMPILE_LANGUAGE:CXX>:${_flags}>"
    "$<$<AND:$<COMPILE_LANGUAGE:C>,$<NOT:$<C_COMPILER_ID:MSVC>>>:-Wall;-Wextra>"
  )
  message(STATUS "Warnings for ${target}: level=${ARG_LEVEL} errors=${ARG_AS_ERRORS}")
endfunction()

macro(morrow_disable_warnings_for_sources)
  foreach(_src ${ARGN})
    if(MSVC)
      set_source_files_properties("${_src}" PROPERTIES COMPILE_OPTIONS "/W0")
    else()
      set_source_files_properties("${_src}" PROPERTIES COMPILE_OPTIONS "-w")
    endif()
  endforeach()
endmacro()

# A tiny self-check used by CI: "cmake -P CompilerWarnings.cmake" prints the table.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(level low normal pedantic)
    string(TOUPPER ${level} _up)
    message(STATUS "${level}: ${_MORROW_GCC_${_up}}")
  endforeach()
endif()
