@echo off
rem Removes the right-click menu entries that install.cmd added, then the
rem keys that held them, when nothing else is left in them.
setlocal DisableDelayedExpansion
set "self=%~f0"
set "shell=HKCU\Software\Classes\*\shell"
for %%P in (hash256 hash384 hash512) do reg delete "%shell%\sha2hash.%%P" /f >nul 2>&1
call :remove_if_empty "HKCU\Software\Classes\*\shell"
call :remove_if_empty "HKCU\Software\Classes\*"
echo The right-click menu entries are removed.
rem Double-clicked in Explorer (cmd /c ""...\uninstall.cmd" "), the window
rem stays open on the message until a key, as install.cmd's does.
set "started=%cmdcmdline:"=%"
set "rest=%started:*/c =%"
if /i "%rest%"=="%self% " pause
exit /b 0

rem Deletes the key %1 when it has no value and no subkey: "reg query" then
rem prints nothing but the key's own name.
:remove_if_empty
reg query "%~1" >nul 2>&1
if errorlevel 1 exit /b 0
for /f "skip=1 delims=" %%L in ('reg query "%~1" 2^>nul') do exit /b 0
reg delete "%~1" /f >nul 2>&1
exit /b 0
