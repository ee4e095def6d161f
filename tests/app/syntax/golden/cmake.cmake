# Helper functions for the build
#[[ A bracket comment
    that spans several lines ]]
cmake_minimum_required(VERSION 3.16)

set(MORROWPAD_VERSION "1.4.0")
set(SOURCES
    main.cpp
    window.cpp
    "file with spaces.cpp"
)
option(MORROWPAD_TESTS "Build the tests" ON)
set(FLAGS -Wall -Wextra CACHE STRING "Compiler flags")

function(morrowpad_add_tool name)
    cmake_parse_arguments(ARG "CONSOLE" "OUTPUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SOURCES)
        message(FATAL_ERROR "morrowpad_add_tool(${name}): no sources")
    elseif(ARG_CONSOLE)
        message(STATUS "console tool ${name}")
    else()
        set(gui WIN32)
    endif()
    add_executable(${name} ${gui} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE
        VERSION="${MORROWPAD_VERSION}"
        $<$<CONFIG:Debug>:MORROWPAD_DEBUG=1>
    )
endfunction()

macro(add_resources target)
    foreach(file IN LISTS ARGN)
        configure_file(${file} ${CMAKE_CURRENT_BINARY_DIR}/${file} COPYONLY)
    endforeach()
endmacro()

if(WIN32 AND MSVC_VERSION GREATER_EQUAL 1920)
    add_compile_options(/W4 /utf-8)
elseif(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wall -Wno-unknown-pragmas)
endif()

set(MESSAGE "a quoted string with a \"quote\" and
a second line with ${MORROWPAD_VERSION}")
set(RAW [[bracket argument ${not_expanded} "quotes"]])
set(ENV{PATH} "$ENV{PATH}:/opt/bin")
file(WRITE ${CMAKE_BINARY_DIR}/notes.txt [=[
text with ]] inside
]=])

set(i 0)
while(i LESS 3)
    math(EXPR i "${i} + 1")
    if(i EQUAL 2)
        continue()
    endif()
endwhile()

block(SCOPE_FOR VARIABLES)
    set(local_value 42)  # ignored outside
endblock()

configure_file(config.h.in config.h @ONLY)
# a comment with if( inside
add_custom_target(docs COMMAND doxygen Doxyfile WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
install(TARGETS morrowpad RUNTIME DESTINATION bin)
