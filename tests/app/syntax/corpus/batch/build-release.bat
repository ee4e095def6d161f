@echo off
REM build-release.bat - builds the release configuration and packages it.
REM Usage: build-release.bat [x64^|arm64] [--clean]
setlocal EnableExtensions EnableDelayedExpansion

:: Defaults, overridable from the environment.
if not defined BUILD_DIR set "BUILD_DIR=%~dp0out"
if not defined CONFIG set CONFIG=Release
set "ARCH=%~1"
if "%ARCH%"=="" set ARCH=x64
set CLEAN=0
if /i "%~2"=="--clean" set CLEAN=1

echo Building %CONFIG% for %ARCH% in "%BUILD_DIR%"
echo Started at %DATE% %TIME%

:: Check for the tools we need.
where cmake >nul 2>&1 || (
    echo error: cmake was not found on PATH 1>&2
    exit /b 1
)
for %%T in (ninja git) do (
    where %%T >nul 2>&1
    if errorlevel 1 (
        echo warning: "%%T" is missing; some steps will be skipped
        set "MISSING_%%T=1"
    )
)

if "%CLEAN%"=="1" (
    if exist "%BUILD_DIR%" (
        echo Removing old build folder...
        rmdir /s /q "%BUILD_DIR%"
    )
)
if not exist "%BUILD_DIR%" mkdir "%BUILD_DIR%"

:: Work out a version string from git, falling back to 0.0.0.
set VERSION=0.0.0
if not defined MISSING_git (
    for /f "usebackq tokens=*" %%V in (`git describe --tags --always 2^>nul`) do set "VERSION=%%V"
)
set "VERSION=%VERSION:v=%"
echo Version: !VERSION!

set /a JOBS=%NUMBER_OF_PROCESSORS% * 2
if %JOBS% GTR 16 set JOBS=16

pushd "%BUILD_DIR%" || exit /b 1
cmake -G "Ninja" -A %ARCH% -DCMAKE_BUILD_TYPE=%CONFIG% -DAPP_VERSION="%VERSION%" "%~dp0." || goto :fail
cmake --build . --config %CONFIG% -- -j%JOBS% || goto :fail
popd

call :package "%BUILD_DIR%\%CONFIG%" "%BUILD_DIR%\app-%VERSION%-%ARCH%.zip"
if errorlevel 1 goto :fail

echo.
echo Done. Output: "%BUILD_DIR%\app-%VERSION%-%ARCH%.zip"
endlocal & exit /b 0

:package
REM %1 = folder to pack, %2 = zip file to write
setlocal
set "SRC=%~1"
set "DEST=%~2"
if not exist "%SRC%\*.exe" (
    echo error: nothing to package in "%SRC%" 1>&2
    endlocal & exit /b 2
)
powershell -NoProfile -Command "Compress-Archive -Path '%SRC%\*' -DestinationPath '%DEST%' -Force"
echo Packed %~nx2 (%~z2 bytes^)
endlocal & exit /b %ERRORLEVEL%

:fail
popd 2>nul
echo Build failed with error %ERRORLEVEL% ^(see the log above^). 1>&2
exit /b 1
