@echo off
rem Adds "SHA-256 / SHA-384 / SHA-512 ..." to Explorer's right-click menu of
rem every file, for the current user only (no administrator rights), pointing
rem at the programs in the bin folder beside this script. Running it again
rem updates the entries; uninstall.cmd removes them. The menu's text comes
rem from each program's own string table, so this script stays ASCII and
rem reads the same under every code page.
setlocal DisableDelayedExpansion
set "bin=%~dp0bin"
rem The folder is used only through delayed expansion, after cmd has parsed
rem each line, so that "&", "(" or ")" in it mean nothing to cmd.
setlocal EnableDelayedExpansion
set "shell=HKCU\Software\Classes\*\shell"
rem Each step's status is tested with "if errorlevel", which every cmd.exe
rem (and Wine's) reads the same way.
for %%P in (hash256 hash384 hash512) do (
  call :add %%P
  if errorlevel 1 goto failed
)
echo The right-click menu of every file now has SHA-256, SHA-384 and SHA-512.
exit /b 0

:failed
echo The right-click menu entries could not be added.
exit /b 1

rem One entry: its menu text from the program's string table, and the
rem command line Explorer runs, with the file's name quoted.
:add
if not exist "!bin!\%1.exe" (
  echo %1.exe is not in "!bin!": run install.cmd from the unpacked folder.
  exit /b 1
)
reg add "!shell!\sha2hash.%1" /v MUIVerb /d "@!bin!\%1.exe,-101" /f >nul
if errorlevel 1 exit /b 1
reg add "!shell!\sha2hash.%1\command" /ve /d "\"!bin!\%1.exe\" \"%%1\"" /f >nul
if errorlevel 1 exit /b 1
exit /b 0
