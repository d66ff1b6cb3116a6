@echo off
rem Germcatcher's tests on this Windows machine: the Windows-side tests, then the end-to-end
rem suites, which drive the real program with the mouse and keyboard. Needs Python 3 (py -3).
setlocal
cd /d "%~dp0"
echo The tests play the show on this screen for a few minutes and use the mouse and keyboard.
echo Leave both alone until the last line, "N passed, N failed".
py -3 "%~dp0run_kit.py" %*
exit /b %ERRORLEVEL%
