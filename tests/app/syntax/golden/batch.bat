@echo off
rem Build script for the editor
:: a double-colon comment
REM upper-case rem (with parentheses)
setlocal EnableDelayedExpansion

set "ROOT=%~dp0"
set BUILD_DIR=%ROOT%build
set /a COUNT=0
set JOBS=2

if not exist "%BUILD_DIR%" (
    mkdir "%BUILD_DIR%"
    echo Created %BUILD_DIR%
) else (
    echo Reusing "%BUILD_DIR%"
)

for %%f in (*.cpp *.h) do (
    set /a COUNT+=1
    echo !COUNT!: %%f
)

for /f "tokens=1,2 delims==" %%a in (config.txt) do set %%a=%%b

call :compile Release
if errorlevel 1 goto :failed
if %COUNT% geq 10 echo Many files
if /i "%1"=="clean" goto clean

echo.
echo Done. > build.log
type build.log | findstr /i "done" >nul 2>&1
echo Path: %PATH:;=, %
echo %~nx0 finished & rem inline comment
goto :eof

:compile
rem compiles one configuration
echo Compiling %1 with %JOBS% jobs
cmake --build "%BUILD_DIR%" --config %1 -- -j%JOBS%
exit /b %errorlevel%

:clean
rmdir /s /q "%BUILD_DIR%"
del /q *.obj 2>nul
goto :eof

:failed
echo Build failed (code %errorlevel%) 1>&2
pause
endlocal
exit /b 1
