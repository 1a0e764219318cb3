# Run by the build (docs/manual/CMakeLists.txt): SOURCE (Markdown) into OUT_DIR/DURarUravud.rtf
# and OUT_DIR/DURarUravud.pdf. Each file is made in WORK_DIR first, so a failed step leaves no
# half-written manual in the plug-in folder.
cmake_minimum_required(VERSION 3.20)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}): ${err}")
  elseif(err)
    message(STATUS "${what}: ${err}")
  endif()
endfunction()

run("pandoc, RTF" "${PANDOC}" --standalone --from markdown --to rtf
    --output "${WORK_DIR}/DURarUravud.rtf" "${SOURCE}")
# Helvetica and Courier are among the fonts every PDF reader has, so none is embedded. Lines are
# set ragged right without hyphens: names of keys and files stay whole.
run("pandoc, ms" "${PANDOC}" --standalone --from markdown --to ms -V fontfamily=H -V adjusting=l
    -M hyphenate=false "-Vheader-includes=.nr HY 0" --output "${WORK_DIR}/DURarUravud.ms" "${SOURCE}")
run("groff, PDF" "${GROFF}" -ms -t -Kutf8 -Tpdf "${WORK_DIR}/DURarUravud.ms"
    OUTPUT_FILE "${WORK_DIR}/DURarUravud.pdf")

file(MAKE_DIRECTORY "${OUT_DIR}")
foreach(name DURarUravud.rtf DURarUravud.pdf)
  file(SIZE "${WORK_DIR}/${name}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${name} came out empty")
  endif()
  file(COPY_FILE "${WORK_DIR}/${name}" "${OUT_DIR}/${name}")
endforeach()
