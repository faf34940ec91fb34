# The header-only libraries nlohmann JSON and (for the command line) CLI11,
# from Debian's packages, as one target, tolvane_headers. The MinGW build
# uses the same headers, but must not see the rest of the host's
# /usr/include: both folders are copied into the build tree alone.
set(header_only ${CMAKE_BINARY_DIR}/header-only)
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/install-deps.sh")
  endif()
  file(COPY /usr/include/${folder} DESTINATION ${header_only})
endforeach()
add_library(tolvane_headers INTERFACE)
target_include_directories(tolvane_headers SYSTEM INTERFACE ${header_only})
