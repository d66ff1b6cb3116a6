@echo off
rem Germcatcher's tests on this Windows machine: the Windows-side tests, then the end-to-end
rem suites, which drive the real program with the mouse and keyboard. Needs Python 3.8 or later:
rem the py launcher (python.org) or python on the PATH (the Microsoft Store's Python).
rem   run-tests.cmd [--may-change-settings] [--suites test_opening,test_show]
setlocal
cd /d "%~dp0"
echo The tests play the show on this screen for about three minutes and use the mouse and
echo keyboard. Leave both alone until the last line, "N passed, N failed, N skipped".
where py >nul 2>nul
if %ERRORLEVEL% equ 0 (
    py -3 "%~dp0run_kit.py" %*
) else (
    python "%~dp0run_kit.py" %*
)
exit /b %ERRORLEVEL%
