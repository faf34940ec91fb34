# Ends the wineserver of one prefix; its absence is no failure, since a
# prefix whose programs all ended may have stopped its server already.
#   cmake -DWINESERVER=... -DPREFIX=... -P StopWineServer.cmake
set(ENV{WINEPREFIX} "${PREFIX}")
execute_process(COMMAND ${WINESERVER} -k RESULT_VARIABLE ignored OUTPUT_QUIET ERROR_QUIET)
