# Checks what the launcher's image promises: a 32-bit console program that
# imports from KERNEL32.dll alone (IsWow64Process looked up, not imported), an
# icon group 101 of one 32x32 image at 32 bits per pixel, a manifest that asks
# for administrator rights, and no other resources.
#   cmake -DLAUNCHER=... -DOBJDUMP=... -DWINDRES=... -P ImageCheck.cmake
cmake_minimum_required(VERSION 3.25)

function(fail what)
  message(SEND_ERROR "image: ${what}")
endfunction()

execute_process(COMMAND ${OBJDUMP} -p ${LAUNCHER} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "image: ${OBJDUMP} -p failed")
endif()

if(NOT headers MATCHES "file format pei-i386")
  fail("not a 32-bit x86 image")
endif()
if(NOT headers MATCHES "Subsystem[ \t]+00000003")
  fail("not a console program")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]*" dlls "${headers}")
if(NOT dlls STREQUAL "DLL Name: KERNEL32.dll")
  fail("imports from [${dlls}], expected KERNEL32.dll alone")
endif()
# The import listing runs from the first DLL name to the next table.
string(FIND "${headers}" "DLL Name:" imports_at)
string(SUBSTRING "${headers}" ${imports_at} -1 imports)
if(imports MATCHES "IsWow64Process")
  fail("IsWow64Process is imported")
endif()
if(NOT imports MATCHES "GetProcAddress")
  fail("the import listing lacks GetProcAddress; was it read at all?")
endif()

execute_process(COMMAND ${WINDRES} -J coff -O rc -i ${LAUNCHER}
                OUTPUT_VARIABLE resources RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "image: ${WINDRES} could not read the resources")
endif()

# One "name type" line opens each resource.
string(REGEX MATCHALL "\n[0-9]+ [0-9]+ /\\*" entries "${resources}")
string(REGEX REPLACE "\n([0-9]+) ([0-9]+) /\\*" "\\2:\\1" entries "${entries}")
list(SORT entries)
if(NOT entries STREQUAL "14:101;24:1;3:1")
  fail("resources (type:name) [${entries}], expected one icon, group icon 101 and manifest 1")
endif()

function(resource_text out header)
  string(FIND "${resources}" "${header}" at)
  if(at EQUAL -1)
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING "${resources}" ${at} -1 rest)
  string(FIND "${rest}" "\nEND" end)
  string(SUBSTRING "${rest}" 0 ${end} text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

resource_text(group "\n101 14 /* RT_GROUP_ICON */")
# windres shows an icon entry as "width height colours pad", planes, bits.
if(NOT group MATCHES "Has 1 elements" OR NOT group MATCHES "\"\\\\040\\\\040\\\\000\\\\000\", 1, 32,")
  fail("group icon 101 is not one 32x32 image at 32 bits per pixel:\n${group}")
endif()

resource_text(manifest "\n1 24 /* RT_MANIFEST */")
# windres doubles the quotes inside its strings.
string(REPLACE "\"\"" "'" manifest "${manifest}")
if(NOT manifest MATCHES "<requestedExecutionLevel level='requireAdministrator' uiAccess='false'/>")
  fail("the manifest does not ask for administrator rights:\n${manifest}")
endif()
