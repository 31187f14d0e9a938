@echo off
rem Adds "SHA-256 / SHA-384 / SHA-512 ..." to Explorer's right-click menu of
rem every file, for the current user only (no administrator rights), pointing
rem at the programs in the bin folder beside this script. Running it again
rem updates the entries; uninstall.cmd removes them. The menu's text comes
rem from each program's own string table, so this script stays ASCII and
rem reads the same under every code page.
setlocal DisableDelayedExpansion
set "bin=%~dp0bin"
set "self=%~f0"
rem The folder is used only through delayed expansion, after cmd has parsed
rem each line, so that "&", "(" or ")" in it mean nothing to cmd.
setlocal EnableDelayedExpansion
set "shell=HKCU\Software\Classes\*\shell"
rem Each step's status is tested with "if errorlevel", which every cmd.exe
rem (and Wine's) reads the same way.
for %%B in (256 384 512) do (
  call :add %%B
  if errorlevel 1 goto failed
)
echo The right-click menu of every file now has SHA-256, SHA-384 and SHA-512.
call :hold
exit /b 0

:failed
echo The right-click menu entries could not be added.
call :hold
exit /b 1

rem A double click in Explorer runs the script as cmd /c ""...\install.cmd" "
rem in a window that closes when the script ends: there, keep the window open
rem on the message until a key. From a console, or as "cmd /c install.cmd",
rem the script ends at once. The command line is compared without its quotes,
rem with delayed expansion off so that "!" in the folder stays as it is.
:hold
setlocal DisableDelayedExpansion
set "started=%cmdcmdline:"=%"
set "rest=%started:*/c =%"
if /i "%rest%"=="%self% " pause
exit /b 0

rem The entry of program hash%1: its menu text from the program's string
rem table, a plain text ("SHA-256") for a shell that cannot read that table,
rem and the command line Explorer runs, with the file's name quoted.
:add
if not exist "!bin!\hash%1.exe" (
  echo hash%1.exe is not in "!bin!": run install.cmd from the unpacked folder.
  exit /b 1
)
reg add "!shell!\sha2hash.hash%1" /v MUIVerb /d "@!bin!\hash%1.exe,-101" /f >nul
if errorlevel 1 exit /b 1
reg add "!shell!\sha2hash.hash%1" /ve /d "SHA-%1" /f >nul
if errorlevel 1 exit /b 1
reg add "!shell!\sha2hash.hash%1\command" /ve /d "\"!bin!\hash%1.exe\" \"%%1\"" /f >nul
if errorlevel 1 exit /b 1
exit /b 0
