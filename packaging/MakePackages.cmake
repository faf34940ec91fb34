# Stages and zips the two Windows kits; run by the target "packages".
#   release/  the kit's files as end users get them
#   demo/     what the demo kit adds or replaces
# Batch files and settings leave with Windows line ends whatever the checkout
# holds, since cmd.exe and Notepad both expect them.
foreach(name LAUNCHER TOLVANE_EXE CLI_EXE ISP_DLL KIT_DIR DEMO_BENCH DEMO_IMAGES STAGE_DIR RELEASE_ZIP DEMO_ZIP)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "MakePackages.cmake: ${name} is not set")
  endif()
endforeach()
if(LAUNCHER STREQUAL "")
  message(FATAL_ERROR "No launcher for the kits: set TOLVANE_LAUNCHER_EXE to the TolvaneEndUser.exe "
                      "of the launcher build (the preset windows names build/launcher's).")
endif()
if(NOT EXISTS "${LAUNCHER}")
  message(FATAL_ERROR "The launcher ${LAUNCHER} is missing. Build it first "
                      "(cmake --preset launcher && cmake --build --preset launcher) "
                      "or point TOLVANE_LAUNCHER_EXE at it.")
endif()

function(copy_text source destination)
  file(READ "${source}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${destination}" "${text}")
endfunction()

function(copy_tree from to)
  file(GLOB_RECURSE files RELATIVE "${from}" "${from}/*")
  foreach(file IN LISTS files)
    get_filename_component(folder "${to}/${file}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    copy_text("${from}/${file}" "${to}/${file}")
  endforeach()
endfunction()

# The kits carry the programs without their symbol tables, which would
# more than double their size; the build keeps the full ones.
function(copy_program program folder)
  file(COPY "${program}" DESTINATION "${folder}")
  if(STRIP)
    get_filename_component(name "${program}" NAME)
    execute_process(COMMAND "${STRIP}" "${folder}/${name}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Cannot strip ${folder}/${name}")
    endif()
  endif()
endfunction()

function(stage_release root)
  file(REMOVE_RECURSE "${root}")
  file(MAKE_DIRECTORY "${root}/x64/Bin" "${root}/x86")
  file(COPY "${LAUNCHER}" DESTINATION "${root}")
  copy_program("${TOLVANE_EXE}" "${root}/x64")
  copy_program("${CLI_EXE}" "${root}/x64")
  copy_tree("${KIT_DIR}/release" "${root}")
endfunction()

function(zip_kit root zip)
  get_filename_component(folder "${zip}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(REMOVE "${zip}")
  # Named entries rather than ".", so that the archive's paths start with
  # the kit's own names.
  file(GLOB entries RELATIVE "${root}" "${root}/*")
  list(SORT entries)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${entries}
                  WORKING_DIRECTORY "${root}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Cannot write ${zip}")
  endif()
endfunction()

stage_release("${STAGE_DIR}/release")
zip_kit("${STAGE_DIR}/release" "${RELEASE_ZIP}")

# The demo kit starts as a copy of the release kit's stage, so both carry
# the very same programs: stripping stamps the time into a program.
set(demo "${STAGE_DIR}/demo")
file(REMOVE_RECURSE "${demo}")
file(COPY "${STAGE_DIR}/release/" DESTINATION "${demo}")
copy_tree("${KIT_DIR}/demo" "${demo}")
copy_program("${ISP_DLL}" "${demo}/x64")
copy_text("${DEMO_BENCH}" "${demo}/x64/HubBench.ini")
file(GLOB images "${DEMO_IMAGES}/*.BIN")
file(COPY ${images} DESTINATION "${demo}/x64/Bin")
zip_kit("${demo}" "${DEMO_ZIP}")

message(STATUS "Windows kits: ${RELEASE_ZIP}, ${DEMO_ZIP}")
