@echo off
rem The demo kit: the simulated ISP library in this folder stands in for the
rem hubs, but Tolvane still looks for the hub filter driver's service key in
rem the registry, so the demo creates it (this needs administrator rights).
cd /d "%~dp0"
reg add "HKLM\SYSTEM\CurrentControlSet\Services\zq460filter" /f >nul
if errorlevel 1 echo The filter driver key could not be created: the scan will report it missing.
start "" /wait Tolvane.exe
exit /b %errorlevel%
