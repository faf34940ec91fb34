# The launcher's cases under Wine, one group per CASE:
#   cmake -DCASE=... -DSCRATCH=... -DEMULATOR=... -DBITS=32|64 -DLAUNCHER=...
#         -DPROBE=... -DFAKE_INTERPRETER=... -P LauncherCases.cmake
# BITS 32: the launcher itself, with 32-bit helpers; BITS 64: its twin, whose
# x64/x86 choice is mirrored, with 64-bit helpers.
#
# Every a.bat a case lays out writes the folder it ran in to
# SCRATCH/ran/<name>.txt, so a case sees which scripts ran, and where, even
# those found through the PATH or started from the wrong folder.
cmake_minimum_required(VERSION 3.25)

# TOLVANE_NO_32BIT_PROGRAMS holds the reason (see scripts/wine-loader.sh).
if(BITS EQUAL 32 AND DEFINED ENV{TOLVANE_NO_32BIT_PROGRAMS})
  set(reason "no 32-bit programs run here: $ENV{TOLVANE_NO_32BIT_PROGRAMS}")
  if(CASE STREQUAL "runs_x86_script_on_32bit_windows")
    message("skipped: ${reason}; and no 64-bit program takes the x86 path")
  else()
    message("skipped: ${reason}; launcher64.${CASE} runs the case with the 64-bit twin")
  endif()
  return()
endif()

set(ran_dir ${SCRATCH}/ran)

# Wine's drive Z: is the Unix root.
function(dos_path out unix_path)
  string(REPLACE "/" "\\" path "${unix_path}")
  set(${out} "Z:${path}" PARENT_SCOPE)
endfunction()

function(fail what)
  message(SEND_ERROR "${CASE}: ${what}")
endfunction()

function(reset_scratch)
  file(REMOVE_RECURSE ${SCRATCH})
  file(MAKE_DIRECTORY ${ran_dir})
endfunction()

# write_script(FOLDER NAME [STATUS])
function(write_script folder name)
  set(status 0)
  if(ARGC GREATER 2)
    set(status ${ARGV2})
  endif()
  dos_path(marker "${ran_dir}/${name}.txt")
  file(MAKE_DIRECTORY ${folder})
  file(WRITE ${folder}/a.bat "@echo off\r\ncd > \"${marker}\"\r\nexit /b ${status}\r\n")
endfunction()

# The folder a kit is started from: both script folders, and an a.bat in the
# folder itself that must never run.
function(lay_out_kit folder)
  write_script(${folder}/x64 x64)
  write_script(${folder}/x86 x86)
  write_script(${folder} start)
endfunction()

# launch(WORKDIR dir [EXE exe] [CD dos_dir] [PROBE_ARGS ...] [ARGS ...])
# runs the launcher through the probe; sets LAUNCH_OUTPUT (its standard
# output, byte for byte), LAUNCH_STATUS (its full exit status) and
# LAUNCH_WAITED (whether the probe saw it wait for a key; the probe watches
# for that only with --console own).
function(launch)
  cmake_parse_arguments(RUN "" "WORKDIR;EXE;CD" "PROBE_ARGS;ARGS" ${ARGN})
  if(NOT RUN_EXE)
    set(RUN_EXE ${LAUNCHER})
  endif()
  dos_path(exe "${RUN_EXE}")
  set(probe_args ${RUN_PROBE_ARGS})
  if(RUN_CD)
    list(PREPEND probe_args --cd ${RUN_CD})
  endif()
  # Through a file: execute_process would drop the CR of each CR LF.
  set(output_file ${SCRATCH}/launcher-output.bin)
  execute_process(COMMAND ${EMULATOR} ${PROBE} ${probe_args} ${exe} ${RUN_ARGS}
                  WORKING_DIRECTORY ${RUN_WORKDIR}
                  OUTPUT_FILE ${output_file} ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT errors MATCHES "exit code: (-?[0-9]+)\n")
    message(FATAL_ERROR "${CASE}: the probe failed (${result}): ${errors}")
  endif()
  set(LAUNCH_STATUS ${CMAKE_MATCH_1} PARENT_SCOPE)
  if(errors MATCHES "waited for a key\n")
    set(LAUNCH_WAITED TRUE PARENT_SCOPE)
  else()
    set(LAUNCH_WAITED FALSE PARENT_SCOPE)
  endif()
  file(READ ${output_file} output HEX)
  file(REMOVE ${output_file})
  set(LAUNCH_OUTPUT "${output}" PARENT_SCOPE)
endfunction()

# expect_end(label status [WAITED]): the launcher ends with `status`,
# silently for 0, else with its report; with WAITED it then asked for a key
# and waited for one, without it never. Outputs are compared in hexadecimal,
# byte for byte.
function(expect_end label status)
  set(line "")
  if(NOT status EQUAL 0)
    string(HEX "UpdateFW failed! (${status})\r\n" line)
  endif()
  set(waited FALSE)
  if(ARGV2 STREQUAL "WAITED")
    set(waited TRUE)
    string(HEX "Press any key to close this window.\r\n" prompt)
    string(APPEND line "${prompt}")
  endif()
  if(NOT LAUNCH_WAITED STREQUAL waited)
    fail("${label}: waited for a key: ${LAUNCH_WAITED}, expected ${waited}")
  endif()
  if(NOT "${LAUNCH_OUTPUT}" STREQUAL "${line}")
    fail("${label}: printed [${LAUNCH_OUTPUT}], expected [${line}] (hexadecimal)")
  endif()
  if(NOT LAUNCH_STATUS EQUAL status)
    fail("${label}: exit status ${LAUNCH_STATUS}, expected ${status}")
  endif()
endfunction()

# expect_ran(label [NAME...]): exactly these scripts ran.
function(expect_ran label)
  file(GLOB markers RELATIVE ${ran_dir} ${ran_dir}/*.txt)
  string(REPLACE ".txt" "" names "${markers}")
  list(SORT names)
  set(expected ${ARGN})
  list(SORT expected)
  if(NOT "${names}" STREQUAL "${expected}")
    fail("${label}: scripts that ran: [${names}], expected [${expected}]")
  endif()
endfunction()

function(expect_ran_in label name dos_folder)
  file(READ ${ran_dir}/${name}.txt folder)
  string(STRIP "${folder}" folder)
  if(NOT "${folder}" STREQUAL "${dos_folder}")
    fail("${label}: ${name} ran in ${folder}, expected ${dos_folder}")
  endif()
endfunction()

# The command lines that the fake interpreter logged in a folder.
function(expect_interpreter_log folder lines)
  if(NOT EXISTS ${folder}/interpreter.log)
    fail("nothing was run in ${folder}")
    return()
  endif()
  file(READ ${folder}/interpreter.log logged)
  if(NOT "${logged}" STREQUAL "${lines}")
    fail("run in ${folder}: [${logged}], expected [${lines}]")
  endif()
endfunction()

# Maps drive T: of the Wine prefix to a folder, so a case can start at a drive
# root or choose the exact length of the working directory.
function(map_drive_t folder)
  set(link $ENV{WINEPREFIX}/dosdevices/t:)
  file(REMOVE ${link})
  file(CREATE_LINK ${folder} ${link} SYMBOLIC)
endfunction()

function(unmap_drive_t)
  file(REMOVE $ENV{WINEPREFIX}/dosdevices/t:)
endfunction()

# The launcher is copied into a folder of its own with scripts of its own, and
# started with arguments from another folder: it must look in the working
# directory, whatever its arguments say.
function(run_kit_from_elsewhere expected_name)
  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  write_script(${SCRATCH}/app/x64 app-x64)
  write_script(${SCRATCH}/app/x86 app-x86)
  file(COPY ${LAUNCHER} DESTINATION ${SCRATCH}/app)
  get_filename_component(exe_name ${LAUNCHER} NAME)
  launch(WORKDIR ${SCRATCH}/work EXE ${SCRATCH}/app/${exe_name} ARGS /x86 --help "two words")
  expect_end("kit" 0)
  expect_ran("kit" ${expected_name})
  dos_path(folder "${SCRATCH}/work/${expected_name}")
  expect_ran_in("kit" ${expected_name} "${folder}")
endfunction()

if(CASE STREQUAL "runs_x64_script_under_wow64")
  run_kit_from_elsewhere(x64)

elseif(CASE STREQUAL "runs_x86_script_on_32bit_windows")
  run_kit_from_elsewhere(x86)

elseif(CASE STREQUAL "refuses_missing_subdirectory")
  reset_scratch()
  write_script(${SCRATCH}/work/x86 x86)
  write_script(${SCRATCH}/work start)
  launch(WORKDIR ${SCRATCH}/work)
  expect_end("no x64 folder" 9002)
  expect_ran("no x64 folder")

elseif(CASE STREQUAL "refuses_missing_script")
  # cmd.exe would find an a.bat on the PATH when the folder lacks one.
  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  file(REMOVE ${SCRATCH}/work/x64/a.bat)
  write_script(${SCRATCH}/onpath on-path)
  dos_path(path_folder "${SCRATCH}/onpath")
  set(path "PATH=${path_folder}")
  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --set "${path}")
  expect_end("no a.bat" 9003)
  expect_ran("no a.bat")

  file(MAKE_DIRECTORY ${SCRATCH}/work/x64/a.bat)
  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --set "${path}")
  expect_end("a.bat is a folder" 9003)
  expect_ran("a.bat is a folder")

elseif(CASE STREQUAL "passes_script_status")
  foreach(status 7 0 -3 -2147483648)
    reset_scratch()
    lay_out_kit(${SCRATCH}/work)
    write_script(${SCRATCH}/work/x64 x64 ${status})
    launch(WORKDIR ${SCRATCH}/work)
    expect_end("exit /b ${status}" ${status})
    expect_ran("exit /b ${status}" x64)
  endforeach()

elseif(CASE STREQUAL "runs_commands_like_system")
  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  dos_path(fake "${FAKE_INTERPRETER}")
  # The fake's status 5 also answers "cls", whose status does not count.
  launch(WORKDIR ${SCRATCH}/work
         PROBE_ARGS --set "COMSPEC=${fake}" --set TOLVANE_FAKE_STATUS=5)
  expect_end("COMSPEC" 5)
  expect_ran("COMSPEC")
  expect_interpreter_log(${SCRATCH}/work "\"${fake}\" /c cls\n")
  # The script checked is the one run: by its full path, in the quotes that
  # cmd.exe takes off and keeps.
  dos_path(script "${SCRATCH}/work/x64/a.bat")
  expect_interpreter_log(${SCRATCH}/work/x64 "\"${fake}\" /c \"\"${script}\"\"\n")

  dos_path(missing "${SCRATCH}/no-such-interpreter.exe")
  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --set "COMSPEC=${missing}")
  expect_end("COMSPEC names no program" 9004)
  expect_ran("COMSPEC names no program")

  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --unset COMSPEC)
  expect_end("no COMSPEC" 0)
  expect_ran("no COMSPEC" x64)

elseif(CASE STREQUAL "ignores_relative_comspec")
  # The elevated launcher would resolve these against the kit's folders, where
  # anyone may have put a cmd.exe: the system's own runs instead.
  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  foreach(folder work work/x64)
    file(COPY ${FAKE_INTERPRETER} DESTINATION ${SCRATCH}/${folder})
  endforeach()
  get_filename_component(fake_name ${FAKE_INTERPRETER} NAME)
  dos_path(work_dos "${SCRATCH}/work")
  string(REGEX REPLACE "^Z:" "" rooted "${work_dos}\\${fake_name}")
  foreach(comspec "${fake_name}" ".\\${fake_name}" "x64\\${fake_name}" "Z:${fake_name}" "${rooted}")
    file(REMOVE ${ran_dir}/x64.txt)
    launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --set "COMSPEC=${comspec}" --set TOLVANE_FAKE_STATUS=5)
    expect_end("COMSPEC=${comspec}" 0)
    expect_ran("COMSPEC=${comspec}" x64)
    foreach(folder work work/x64)
      if(EXISTS ${SCRATCH}/${folder}/interpreter.log)
        fail("COMSPEC=${comspec}: the relative interpreter ran in ${folder}")
        file(REMOVE ${SCRATCH}/${folder}/interpreter.log)
      endif()
    endforeach()
  endforeach()

elseif(CASE STREQUAL "runs_the_checked_script_not_one_on_the_path")
  # With NoDefaultCurrentDirectoryInExePath cmd.exe looks for a bare
  # "a.bat" along the PATH alone, and would run the decoy there.
  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  write_script(${SCRATCH}/onpath on-path)
  dos_path(path_folder "${SCRATCH}/onpath")
  launch(WORKDIR ${SCRATCH}/work
         PROBE_ARGS --set "PATH=${path_folder}" --set NoDefaultCurrentDirectoryInExePath=1 --unset COMSPEC)
  expect_end("decoy on the PATH" 0)
  expect_ran("decoy on the PATH" x64)

  # A kit folder whose name cmd.exe would split without the quotes.
  reset_scratch()
  lay_out_kit("${SCRATCH}/kit (v2) & more")
  launch(WORKDIR "${SCRATCH}/kit (v2) & more" PROBE_ARGS --unset COMSPEC)
  expect_end("blanks, brackets and & in the path" 0)
  expect_ran("blanks, brackets and & in the path" x64)

elseif(CASE STREQUAL "waits_for_a_key_only_in_its_own_console")
  # A double click gives the launcher a console of its own, which closes
  # with it: after a failure it waits, after success it does not.
  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  write_script(${SCRATCH}/work/x64 x64 7)
  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --console own)
  expect_end("own console, a.bat failed" 7 WAITED)
  expect_ran("own console, a.bat failed" x64)

  reset_scratch()
  write_script(${SCRATCH}/work start)
  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --console own)
  expect_end("own console, no x64 folder" 9002 WAITED)

  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --console own)
  expect_end("own console, a.bat passed" 0)
  expect_ran("own console, a.bat passed" x64)

  # Started from a console or a script it never waits: the probe would end
  # it after a minute, and fail.
  reset_scratch()
  lay_out_kit(${SCRATCH}/work)
  write_script(${SCRATCH}/work/x64 x64 7)
  launch(WORKDIR ${SCRATCH}/work PROBE_ARGS --console shared)
  expect_end("shared console, a.bat failed" 7)
  expect_ran("shared console, a.bat failed" x64)

elseif(CASE STREQUAL "starts_at_drive_root")
  # "T:\" and "\x64\" give "T:\\x64\", which must still be T:\x64.
  reset_scratch()
  lay_out_kit(${SCRATCH}/root)
  map_drive_t(${SCRATCH}/root)
  launch(WORKDIR ${SCRATCH} CD "T:\\")
  unmap_drive_t()
  expect_end("drive root" 0)
  expect_ran("drive root" x64)
  expect_ran_in("drive root" x64 "T:\\x64")

elseif(CASE STREQUAL "refuses_overlong_path")
  # Working directories of 249 and 250 characters: with "\x64\a.bat", the
  # script that is run by its full path, and the terminating NUL the first
  # just fits in 260 bytes, the second does not.
  reset_scratch()
  string(REPEAT "a" 100 first)
  string(REPEAT "b" 100 second)
  string(REPEAT "c" 44 fits)
  string(REPEAT "c" 45 too_long)
  set(base ${SCRATCH}/root/${first}/${second})
  write_script(${base}/${fits}/x64 fits)
  write_script(${base}/${too_long}/x64 too-long)
  write_script(${base}/${too_long} start)
  map_drive_t(${SCRATCH}/root)
  set(fits_dos "T:\\${first}\\${second}\\${fits}")
  set(too_long_dos "T:\\${first}\\${second}\\${too_long}")
  launch(WORKDIR ${SCRATCH} CD "${fits_dos}")
  expect_end("249 characters" 0)
  expect_ran("249 characters" fits)
  expect_ran_in("249 characters" fits "${fits_dos}\\x64")
  file(REMOVE ${ran_dir}/fits.txt)
  launch(WORKDIR ${SCRATCH} CD "${too_long_dos}")
  unmap_drive_t()
  expect_end("250 characters" 9001)
  expect_ran("250 characters")

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
