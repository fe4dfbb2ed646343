@echo off
rem Logon script for Windows 2000 and later: removes the start-up entries
rem of the worm WORM_TAMRIX for the user who logs on, with no pause and no
rem question, and keeps a log for each machine and user in one folder.
rem
rem   logon_clean.cmd [<log folder>]
rem
rem fix_tamrix.exe lies beside this script (in NETLOGON, for instance). The
rem log folder (by default the one set below) must exist and be writable by
rem every user; the undo data goes there too, named after the log
rem (%COMPUTERNAME%-%USERNAME%_undo_<date>_<time>.reg). The program's exit
rem code is 0 whether or not it found the worm: the logs tell which machines
rem had it.
setlocal
set LOGFOLDER=\\server\share\fix_tamrix
if not "%~1"=="" set LOGFOLDER=%~1
set LOG=%LOGFOLDER%\%COMPUTERNAME%-%USERNAME%.log

rem Without its folder there would be neither a log nor undo data: the
rem next logon tries again.
if not exist "%LOGFOLDER%\" (
    echo fix_tamrix: cannot reach the log folder %LOGFOLDER%: nothing done.
    exit /b 1
)
"%~dp0fix_tamrix.exe" /Q /L "%LOG%" >nul
if errorlevel 1 (
    echo fix_tamrix: the program could not run ^(exit code %errorlevel%^).
    exit /b 1
)
if not exist "%LOG%" (
    echo fix_tamrix: ran, but could not write its log %LOG%
    exit /b 1
)
echo fix_tamrix: the log of this run is %LOG%
