@echo off
rem Runs the upgrade tool from this folder, where SpiFlash.ini and Bin\ are,
rem and waits for it, so that whoever started this file sees when it ends.
cd /d "%~dp0"
start "" /wait Tolvane.exe
exit /b %errorlevel%
