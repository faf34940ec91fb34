@echo off
rem The upgrade tool and the hub maker's ISP library exist for 64-bit Windows
rem only; the launcher comes here on 32-bit Windows.
echo This firmware upgrade kit needs 64-bit Windows.
echo Run TolvaneEndUser.exe on a 64-bit Windows machine.
exit /b 1
