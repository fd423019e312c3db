# Turns the GLSL files of SHADER_DIR into string constants in the C++ header
# OUTPUT (cmake -DSHADER_DIR=... -DOUTPUT=... -P EmbedShaders.cmake).
#
# Each file that starts with #version becomes vl::shaders::<name>, the file
# name in camel case (sphere_vertex.glsl: sphereVertex). Other files are
# pieces: a line `#include "piece.glsl"` is replaced by that file. Comment
# lines at the top of a file are notes for the reader and are dropped, so the
# compiled text is exactly what follows them.

if(NOT SHADER_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "EmbedShaders.cmake needs SHADER_DIR and OUTPUT")
endif()

function(read_glsl path out)
  file(READ "${path}" text)
  string(REGEX REPLACE "^(//[^\n]*\n)+" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(GLOB shaders RELATIVE "${SHADER_DIR}" "${SHADER_DIR}/*.glsl")
list(SORT shaders)
set(header "// Generated from the GLSL files in src/view/shaders by cmake/EmbedShaders.cmake.\n#pragma once\n\nnamespace vl::shaders {\n")
foreach(name IN LISTS shaders)
  read_glsl("${SHADER_DIR}/${name}" text)
  if(NOT text MATCHES "^#version ")
    continue()
  endif()
  string(REGEX MATCHALL "#include \"[^\"\n]+\"\n" includes "${text}")
  foreach(directive IN LISTS includes)
    string(REGEX REPLACE "#include \"([^\"\n]+)\"\n" "\\1" piece "${directive}")
    if(NOT EXISTS "${SHADER_DIR}/${piece}")
      message(FATAL_ERROR "${name}: no ${piece} to include")
    endif()
    read_glsl("${SHADER_DIR}/${piece}" piece_text)
    string(REPLACE "${directive}" "${piece_text}" text "${text}")
  endforeach()
  if(text MATCHES "\\)glsl\"")
    message(FATAL_ERROR "${name} contains the raw string's end mark )glsl\"")
  endif()
  string(REGEX REPLACE "\\.glsl$" "" id "${name}")
  string(REGEX REPLACE "_([a-z])" ";\\1" words "${id}")
  set(id "")
  foreach(word IN LISTS words)
    if(id STREQUAL "")
      set(id "${word}")
    else()
      string(SUBSTRING "${word}" 0 1 first)
      string(SUBSTRING "${word}" 1 -1 tail)
      string(TOUPPER "${first}" first)
      set(id "${id}${first}${tail}")
    endif()
  endforeach()
  string(APPEND header "\ninline constexpr char ${id}[] = R\"glsl(${text})glsl\";\n")
endforeach()
string(APPEND header "\n} // namespace vl::shaders\n")
file(WRITE "${OUTPUT}" "${header}")
