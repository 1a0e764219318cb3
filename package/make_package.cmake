# Run by the build (package/CMakeLists.txt): stages the plug-in folder from PLUGIN_DIR and zips
# it into ZIP. Without the airport data the package would not work, so then no zip is made
# (and an old one is removed) and the reason is written beside where it would be.
cmake_minimum_required(VERSION 3.21)

set(reason_file "${ZIP}.missing")
# Packages of other versions go, so the build folder holds one package only.
get_filename_component(zip_dir "${ZIP}" DIRECTORY)
file(GLOB old "${zip_dir}/DURarUravud*.zip" "${zip_dir}/DURarUravud*.zip.missing")
file(REMOVE ${old} "${ZIP}" "${reason_file}")

set(files 64/win.xpl APT.dat Radio.dat DURarUravud.pdf DURarUravud.rtf
          AirportData.txt AirportData-ODbL-1.0.txt)
set(missing "")
foreach(name IN LISTS files)
  if(NOT EXISTS "${PLUGIN_DIR}/${name}")
    list(APPEND missing "${name}")
  endif()
endforeach()
if(missing)
  set(why "")
  if(EXISTS "${AIRDATA_STAMP}")
    file(READ "${AIRDATA_STAMP}" why)
  endif()
  string(REPLACE ";" ", " missing "${missing}")
  file(WRITE "${reason_file}" "missing: ${missing}\nairport data: ${why}")
  message(WARNING "No package made: ${missing} missing from ${PLUGIN_DIR}.\nAirport data: ${why}")
  return()
endif()

set(stage "${STAGE_DIR}/DURarUravud")
file(REMOVE_RECURSE "${STAGE_DIR}")
foreach(name IN LISTS files)
  get_filename_component(folder "${stage}/${name}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${PLUGIN_DIR}/${name}" "${stage}/${name}")
endforeach()
file(COPY_FILE "${LICENCES}" "${stage}/Licences.txt")

# Fixed times and order, so the same files give the same zip.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}.part" --format=zip --mtime=2000-01-01
                        DURarUravud/64/win.xpl DURarUravud/APT.dat DURarUravud/Radio.dat
                        DURarUravud/DURarUravud.pdf DURarUravud/DURarUravud.rtf
                        DURarUravud/Licences.txt DURarUravud/AirportData.txt
                        DURarUravud/AirportData-ODbL-1.0.txt
                WORKING_DIRECTORY "${STAGE_DIR}" RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  file(REMOVE "${ZIP}.part")
  message(FATAL_ERROR "Zipping the package failed (${rc}): ${err}")
endif()
file(RENAME "${ZIP}.part" "${ZIP}")
