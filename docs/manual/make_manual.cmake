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

# The version is filled in from the build's one setting.
file(READ "${SOURCE}" text)
string(REPLACE "@DURAR_VERSION@" "${VERSION}" text "${text}")
file(WRITE "${WORK_DIR}/manual.md" "${text}")
set(SOURCE "${WORK_DIR}/manual.md")

# The pictures (figures/NAME.png, and NAME.pdf for groff) lie in WORK_DIR.
run("pandoc, RTF" "${PANDOC}" --standalone --from markdown --to rtf --resource-path "${WORK_DIR}"
    --output "${WORK_DIR}/DURarUravud.rtf" "${SOURCE}")
# Helvetica and Courier are among the fonts every PDF reader has, so none is embedded. Lines are
# set ragged right without hyphens: names of keys and files stay whole.
run("pandoc, ms" "${PANDOC}" --standalone --from markdown --to ms -V fontfamily=H -V adjusting=l
    --lua-filter "${FIGURE_FILTER}"
    -M hyphenate=false "-Vheader-includes=.nr HY 0" --output "${WORK_DIR}/DURarUravud.ms" "${SOURCE}")
# -U: groff's PDFPIC asks pdfinfo for each picture's size.
run("groff, PDF" "${GROFF}" -U -ms -t -Kutf8 -Tpdf "${WORK_DIR}/DURarUravud.ms"
    OUTPUT_FILE "${WORK_DIR}/DURarUravud.pdf" WORKING_DIRECTORY "${WORK_DIR}")

file(MAKE_DIRECTORY "${OUT_DIR}")
foreach(name DURarUravud.rtf DURarUravud.pdf)
  file(SIZE "${WORK_DIR}/${name}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${name} came out empty")
  endif()
  file(COPY_FILE "${WORK_DIR}/${name}" "${OUT_DIR}/${name}")
endforeach()
