# Keeps the source folders in their layers (run by ctest as "layers"):
#   core/           Qt-free helpers                        -> core/
#   ui/             Qt building blocks of every page       -> core/, ui/
#   a page folder   computations, form models and the page -> core/, ui/, its own folder
#   instrument/bus/   transports, addresses, sessions      -> core/, instrument/bus/
#   instrument/runs/  plan, set-up, run engines, logs      -> core/, instrument/bus/,
#                                                             instrument/runs/
#   instrument/pages/ the instrument pages and windows     -> core/, ui/, instrument/*
#   sim/            the simulator library                  -> sim/, instrument/bus/bus_status.h
#   cli/            vexa-cli                               -> anything Qt-free (no ui/, app/,
#                                                             instrument/pages/, *_page.h,
#                                                             *_view.h or *_window.h)
#   app/            main(), main window, About, clock      -> anything
# No page folder includes another page folder: pages meet only in the main window. Every file
# of src/instrument/ sits in one of its three layers.
# Usage: cmake -DSOURCE_DIR=<repo>/src -P layers_check.cmake
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

file(GLOB folders RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
set(violations "")
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${folder})
    continue()
  endif()
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp
       ${SOURCE_DIR}/${folder}/*.c)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" included "${line}")
      string(REGEX MATCH "^[^/]+" target "${included}")
      if(NOT included MATCHES "/")
        continue()  # a file of the same folder, named without its folder
      endif()
      set(allowed FALSE)
      # The instrument layers: the layer of the including file and of the included one.
      set(layer "")
      if(folder STREQUAL "instrument")
        file(RELATIVE_PATH inside ${SOURCE_DIR}/instrument ${file})
        string(REGEX MATCH "^(bus|runs|pages)/" layer "${inside}")
      endif()
      string(REGEX MATCH "^instrument/(bus|runs|pages)/" included_layer "${included}")
      if(folder STREQUAL "app")
        set(allowed TRUE)
      elseif(folder STREQUAL "core")
        if(target STREQUAL "core")
          set(allowed TRUE)
        endif()
      elseif(folder STREQUAL "ui")
        if(target STREQUAL "core" OR target STREQUAL "ui")
          set(allowed TRUE)
        endif()
      elseif(folder STREQUAL "sim")
        if(target STREQUAL "sim" OR included STREQUAL "instrument/bus/bus_status.h")
          set(allowed TRUE)
        endif()
      elseif(folder STREQUAL "cli")
        if(NOT target STREQUAL "ui" AND NOT target STREQUAL "app"
           AND NOT included MATCHES "^instrument/pages/"
           AND NOT included MATCHES "_(page|view|window)\\.h$")
          set(allowed TRUE)
        endif()
      elseif(folder STREQUAL "instrument")
        if(layer STREQUAL "bus/")
          if(target STREQUAL "core" OR included_layer STREQUAL "instrument/bus/")
            set(allowed TRUE)
          endif()
        elseif(layer STREQUAL "runs/")
          if(target STREQUAL "core" OR included_layer STREQUAL "instrument/bus/"
             OR included_layer STREQUAL "instrument/runs/")
            set(allowed TRUE)
          endif()
        elseif(layer STREQUAL "pages/")
          if(target STREQUAL "core" OR target STREQUAL "ui" OR NOT included_layer STREQUAL "")
            set(allowed TRUE)
          endif()
        endif()
      else()  # a page folder
        if(target STREQUAL "core" OR target STREQUAL "ui" OR target STREQUAL folder)
          set(allowed TRUE)
        endif()
      endif()
      if(NOT allowed)
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
        list(APPEND violations "${shown} includes ${included}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes across the layers:\n  ${text}")
endif()
message(STATUS "layers: every include stays in its layer")
