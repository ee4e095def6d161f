@ECHO OFF
:: backup-docs.bat - copies the Documents folder to a dated backup folder.
:: Run it from Task Scheduler; it writes a log next to the backup.
SETLOCAL

IF /I "%~1"=="/?" GOTO :usage
IF /I "%~1"=="-h" GOTO :usage

SET "SOURCE=%USERPROFILE%\Documents"
SET "TARGET_ROOT=D:\Backups"
SET DRY_RUN=
IF /I "%~1"=="/dry" (
    SET DRY_RUN=/L
    SHIFT
)
IF NOT "%~1"=="" SET "TARGET_ROOT=%~1"
IF NOT EXIST "%SOURCE%" (
    ECHO Source folder "%SOURCE%" does not exist 1>&2
    EXIT /B 3
)

REM Build a yyyy-mm-dd stamp that does not depend on the regional date format.
FOR /F "tokens=2 delims==" %%I IN ('wmic os get LocalDateTime /value 2^>NUL ^| find "="') DO SET "DT=%%I"
SET "STAMP=%DT:~0,4%-%DT:~4,2%-%DT:~6,2%"
SET "TARGET=%TARGET_ROOT%\docs-%STAMP%"
SET "LOG=%TARGET_ROOT%\docs-%STAMP%.log"

IF NOT EXIST "%TARGET_ROOT%\" (
    ECHO Creating "%TARGET_ROOT%"
    MKDIR "%TARGET_ROOT%" || GOTO :error
)

ECHO Copying "%SOURCE%" to "%TARGET%"...
ROBOCOPY "%SOURCE%" "%TARGET%" /MIR /R:2 /W:5 /XD "My Music" "My Videos" /XF *.tmp ~$* /NP %DRY_RUN% /LOG:"%LOG%"
:: Robocopy returns 0-7 for success and 8 or more for failure.
IF %ERRORLEVEL% GEQ 8 GOTO :error

REM Keep only the newest 7 backups.
SET /A KEEP=7, N=0
FOR /F "delims=" %%D IN ('DIR /B /AD /O-N "%TARGET_ROOT%\docs-*" 2^>NUL') DO (
    SET /A N+=1
    CALL :prune "%%D"
)

ECHO Backup finished: %TARGET%
ECHO 100%% done, "quotes" and ^<angle brackets^> echo fine.
ENDLOCAL
EXIT /B 0

:prune
IF %N% LEQ %KEEP% GOTO :EOF
ECHO Removing old backup %~1
RD /S /Q "%TARGET_ROOT%\%~1"
GOTO :EOF

:usage
ECHO Usage: %~nx0 [/dry] [target-folder]
ECHO.
ECHO   /dry           list what would be copied, copy nothing
ECHO   target-folder  where backups go (default: D:\Backups)
EXIT /B 0

:error
ECHO Backup FAILED (error %ERRORLEVEL%), see "%LOG%" 1>&2
EXIT /B 1
