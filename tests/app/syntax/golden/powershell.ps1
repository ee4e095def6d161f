#Requires -Version 5.1
<#
.SYNOPSIS
    Packages the editor build into a zip file.
.PARAMETER Configuration
    The build configuration { Debug or Release }.
#>
[CmdletBinding()]
param(
    [Parameter(Mandatory = $true)]
    [ValidateSet('Debug', 'Release')]
    [string]$Configuration,
    [int]$Retries = 3,
    [switch]$Force
)

$ErrorActionPreference = 'Stop'
$root = Split-Path -Parent $MyInvocation.MyCommand.Path
$out = Join-Path $root "build\$Configuration"
$env:MORROWPAD_HOME = $root
$size = 10MB
$hex = 0xFF
$ratio = 1.5e3

function Get-Version {
    param([string]$Path)
    # Reads the version from the header { not a block }
    $line = Get-Content $Path | Where-Object { $_ -match 'VERSION "(\d+\.\d+)"' }
    if ($null -eq $line) {
        throw "No version in $Path"
    }
    return $Matches[1]
}

$version = Get-Version -Path "$root\app\Version.h"
Write-Host "Packaging version $version (${Configuration}) at $(Get-Date)"
Write-Host 'Single quotes keep $version as text'
Write-Host "Escapes: `t tab, `"quote`" and `$ dollar"

$files = @(
    'Morrowpad.exe',
    'Edit.dll'
)

foreach ($file in $files) {
    $path = Join-Path $out $file
    if (-not (Test-Path $path) -and -not $Force) {
        Write-Warning "Missing: $path"
        continue
    } elseif ($file -like '*.dll') {
        Write-Verbose "Library $file"
    }
}

$notes = @"
Release notes for $version
  - built from $root
"@

$literal = @'
No $expansion here
'@

for ($i = 0; $i -lt $Retries; $i++) {
    try {
        Compress-Archive -Path $out -DestinationPath "$out.zip" -Force
        break
    }
    catch [System.IO.IOException] {
        Start-Sleep -Seconds ($i * 2)
    }
    finally {
        $global:attempts = $i + 1
    }
}

$table = @{ Name = 'Morrowpad'; Size = (Get-Item "$out.zip").Length }
[System.Console]::WriteLine("Size: {0:N0}" -f $table.Size)
$list = $files | Sort-Object | Select-Object -First 1
switch -Regex ($Configuration) {
    '^Rel' { 'release build' }
    default { 'other build' }
}
exit 0
