@echo off
rem Runs the Portivo Installer test kit; see README.txt. Without /yes it changes nothing.
rem Windows 2000 and XP, which no test program loads on, lack LOCALAPPDATA.
if not defined LOCALAPPDATA goto old
"%~dp0tests\kit-driver.exe" %*
exit /b %ERRORLEVEL%
:old
echo Windows 2000 and XP: both test programs need Windows Vista or later, so no case runs here and
echo nothing was changed. The installer itself runs here: README.txt says how to check it by hand.
if /i not "%~1"=="/yes" exit /b 2
echo 0 passed, 0 failed, 0 skipped
exit /b 1
