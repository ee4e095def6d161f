@echo off
setlocal EnableExtensions

$0

endlocal
