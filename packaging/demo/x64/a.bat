@echo off
rem The demo kit: the simulated ISP library in this folder stands in for the
rem hubs, but Tolvane still looks for the hub filter driver's service key in
rem the registry, so the demo creates it (this needs administrator rights)
rem and removes it again when Tolvane ends. A key that was there before is
rem the real driver's, or another demo's: it is left alone.
setlocal
cd /d "%~dp0"
set created=
reg query "HKLM\SYSTEM\CurrentControlSet\Services\zq460filter" >nul 2>&1
if not errorlevel 1 goto run
reg add "HKLM\SYSTEM\CurrentControlSet\Services\zq460filter" /f >nul
if errorlevel 1 (
  echo The filter driver key could not be created: the scan will report it missing.
) else (
  set created=yes
)
:run
rem To keep a record of every upgrade (a line on disk before each hub is
rem written, and each result), start Tolvane with a history file instead;
rem "tolvane-cli history upgrades.jsonl" reads it back:
rem start "" /wait Tolvane.exe --history upgrades.jsonl
start "" /wait Tolvane.exe
set status=%errorlevel%
if not defined created goto done
reg delete "HKLM\SYSTEM\CurrentControlSet\Services\zq460filter" /f >nul
if errorlevel 1 echo The filter driver key could not be removed: delete it with regedit.
:done
exit /b %status%
