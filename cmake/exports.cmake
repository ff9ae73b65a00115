# The one list of exports is the header's DVK_API declarations. From it come the Windows module-definition
# file, the ELF version script and the function table of the C host suite, so none of them can drift.
set(DVK_HEADER ${PROJECT_SOURCE_DIR}/include/dorvik_c.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${DVK_HEADER})
file(STRINGS ${DVK_HEADER} dvk_declarations REGEX "^DVK_API ")
set(DVK_EXPORTS "")
foreach(declaration IN LISTS dvk_declarations)
  string(REGEX MATCH "(dvk_[a-z0-9_]+)\\(" found "${declaration}")
  list(APPEND DVK_EXPORTS ${CMAKE_MATCH_1})
endforeach()

list(JOIN DVK_EXPORTS "\n    " dvk_lines)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/dorvik_c.def
     CONTENT "LIBRARY dorvik_c.dll\nEXPORTS\n    ${dvk_lines}\n")
list(JOIN DVK_EXPORTS ";\n    " dvk_lines)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/exports.map
     CONTENT "{\n  global:\n    ${dvk_lines};\n  local:\n    *;\n};\n")
list(TRANSFORM DVK_EXPORTS REPLACE "^dvk_(.*)$" "X(\\1)" OUTPUT_VARIABLE dvk_lines)
list(JOIN dvk_lines " " dvk_lines)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/dvk_export_list.h
     CONTENT "/* Generated from dorvik_c.h: every export as X(name without dvk_). */\n#define DVK_EXPORT_LIST(X) ${dvk_lines}\n")
