# Writes a module-definition file listing every function that our SDK headers declare with the
# given export macro. Run in script mode:
#   cmake -DLIBRARY=XPLM_64.dll -DMACRO=XPLM_API -DOUT=file.def -DHEADERS="a.h|b.h" -P ImportDef.cmake
string(REPLACE "|" ";" HEADERS "${HEADERS}")
set(names "")
foreach(header IN LISTS HEADERS)
  file(READ "${header}" text)
  # Join declarations that span lines, then pick "MACRO <return type> Name(".
  string(REGEX REPLACE "\n[ \t]+" " " text "${text}")
  string(REGEX MATCHALL "${MACRO} [^;(]*[ *]([A-Za-z_][A-Za-z0-9_]*)\\(" decls "${text}")
  foreach(decl IN LISTS decls)
    string(REGEX REPLACE ".*[ *]([A-Za-z_][A-Za-z0-9_]*)\\($" "\\1" name "${decl}")
    list(APPEND names "${name}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
set(def "LIBRARY ${LIBRARY}\nEXPORTS\n")
foreach(name IN LISTS names)
  string(APPEND def "    ${name}\n")
endforeach()
file(WRITE "${OUT}.tmp" "${def}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUT}.tmp" "${OUT}")
