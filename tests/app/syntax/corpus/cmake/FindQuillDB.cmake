# Distributed under the MIT licence. See LICENSE.txt in the source tree.

#[=======================================================================[.rst:
FindQuillDB
-----------

Finds the QuillDB embedded key/value store.

Imported Targets
^^^^^^^^^^^^^^^^

This module provides the following imported targets, if found:

``QuillDB::QuillDB``
  The QuillDB library.  Link with ``target_link_libraries(app QuillDB::QuillDB)``.

Result Variables
^^^^^^^^^^^^^^^^

This will define the following variables:

``QuillDB_FOUND``
  True if the system has the QuillDB library.
``QuillDB_VERSION``
  The version of the library which was found, e.g. "2.4.1".
``QuillDB_INCLUDE_DIRS``
  Include directories needed to use QuillDB.

Cache Variables
^^^^^^^^^^^^^^^

``QuillDB_ROOT``
  A prefix to search first.  Paths such as ``C:\Program Files\QuillDB``
  are accepted; note that a trailing backslash like ``"C:\QuillDB\"``
  must be escaped as ``"C:/QuillDB/"`` or ``"C:\\QuillDB\\"``.

Notes on syntax
^^^^^^^^^^^^^^^

Lua-style arrays such as ``t[[1]]`` and bracket pairs like ``]=]`` or ``]]``
may appear in this text without closing the block, because the opening
marker uses seven equals signs.  A lone ``"`` or ``'`` is harmless too.

.. code-block:: cmake

  find_package(QuillDB 2.0 REQUIRED COMPONENTS core)
  message(STATUS "QuillDB: ${QuillDB_VERSION}") # prints the version

#]=======================================================================]

cmake_policy(PUSH)
cmake_policy(SET CMP0057 NEW) # if(IN_LIST)

include(FindPackageHandleStandardArgs)

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(PC_QuillDB QUIET quilldb)
endif()

set(_QuillDB_HINTS
  "${QuillDB_ROOT}"
  "$ENV{QuillDB_ROOT}"
  "$ENV{ProgramFiles}/QuillDB"
  ${PC_QuillDB_LIBRARY_DIRS}
)

find_path(QuillDB_INCLUDE_DIR
  NAMES quill/db.h
  HINTS ${_QuillDB_HINTS} ${PC_QuillDB_INCLUDE_DIRS}
  PATH_SUFFIXES include
  DOC "Directory containing quill/db.h"
)

find_library(QuillDB_LIBRARY_RELEASE
  NAMES quilldb quilldb_static libquilldb
  HINTS ${_QuillDB_HINTS}
  PATH_SUFFIXES lib lib64
)
find_library(QuillDB_LIBRARY_DEBUG
  NAMES quilldbd quilldb_d
  HINTS ${_QuillDB_HINTS}
  PATH_SUFFIXES lib lib64 debug/lib
)

include(SelectLibraryConfigurations)
select_library_configurations(QuillDB)

#[[ Parse the version out of the header.  The header looks like:
      #define QUILL_VERSION_STRING "2.4.1"
    and older releases used QUILLDB_VERSION instead. ]]
if(QuillDB_INCLUDE_DIR AND EXISTS "${QuillDB_INCLUDE_DIR}/quill/version.h")
  file(STRINGS "${QuillDB_INCLUDE_DIR}/quill/version.h" _QuillDB_version_line
    REGEX "^#define[ \t]+QUILL(DB)?_VERSION(_STRING)?[ \t]+\"[^\"]*\"")
  string(REGEX REPLACE "^.*\"([^\"]*)\".*$" "\\1" QuillDB_VERSION "${_QuillDB_version_line}")
  unset(_QuillDB_version_line)
elseif(PC_QuillDB_VERSION)
  set(QuillDB_VERSION "${PC_QuillDB_VERSION}")
else()
  set(QuillDB_VERSION "0.0.0")
endif()

find_package_handle_standard_args(QuillDB
  REQUIRED_VARS QuillDB_LIBRARY QuillDB_INCLUDE_DIR
  VERSION_VAR QuillDB_VERSION
  HANDLE_COMPONENTS
)

if(QuillDB_FOUND)
  set(QuillDB_INCLUDE_DIRS "${QuillDB_INCLUDE_DIR}")
  set(QuillDB_LIBRARIES "${QuillDB_LIBRARY}")

  if(NOT TARGET QuillDB::QuillDB)
    add_library(QuillDB::QuillDB UNKNOWN IMPORTED)
    set_target_properties(QuillDB::QuillDB PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES "${QuillDB_INCLUDE_DIR}"
      INTERFACE_COMPILE_DEFINITIONS "QUILL_SHARED=0;QUILL_NO_ASSERT=$<CONFIG:Release>"
    )
    foreach(_cfg IN ITEMS RELEASE DEBUG)
      if(QuillDB_LIBRARY_${_cfg})
        set_property(TARGET QuillDB::QuillDB APPEND PROPERTY IMPORTED_CONFIGURATIONS ${_cfg})
        set_target_properties(QuillDB::QuillDB PROPERTIES
          "IMPORTED_LOCATION_${_cfg}" "${QuillDB_LIBRARY_${_cfg}}")
      endif()
    endforeach()
    if(NOT QuillDB_LIBRARY_RELEASE AND NOT QuillDB_LIBRARY_DEBUG)
      set_target_properties(QuillDB::QuillDB PROPERTIES IMPORTED_LOCATION "${QuillDB_LIBRARY}")
    endif()
    if(WIN32)
      # The Windows build needs the socket library; "ws2_32" is always present.
      set_property(TARGET QuillDB::QuillDB APPEND PROPERTY INTERFACE_LINK_LIBRARIES ws2_32)
    endif()
  endif()
  message(STATUS "Found QuillDB ${QuillDB_VERSION} in \"${QuillDB_INCLUDE_DIR}\"")
endif()

mark_as_advanced(
  QuillDB_INCLUDE_DIR
  QuillDB_LIBRARY_RELEASE
  QuillDB_LIBRARY_DEBUG
)
unset(_QuillDB_HINTS)
cmake_policy(POP)
