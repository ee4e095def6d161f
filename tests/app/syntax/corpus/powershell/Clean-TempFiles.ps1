<#
.SYNOPSIS
    Removes old temporary files and reports how much space was freed.

.DESCRIPTION
    Walks one or more folders and deletes files older than -Days days.
    Use -WhatIf to see what would be removed without deleting anything.

.EXAMPLE
    .\Clean-TempFiles.ps1 -Path $env:TEMP, 'C:\Build\tmp' -Days 14 -WhatIf
#>
[CmdletBinding(SupportsShouldProcess = $true)]
param(
    [Parameter(Mandatory = $false, ValueFromPipeline = $true)]
    [string[]] $Path = @($env:TEMP),

    [ValidateRange(1, 3650)]
    [int] $Days = 30,

    [string[]] $Exclude = @('*.lock', 'keep-*'),

    [switch] $Quiet
)

begin {
    Set-StrictMode -Version Latest
    $ErrorActionPreference = 'Stop'
    $cutoff = (Get-Date).AddDays(-$Days)
    $freed = 0L
    $removed = [System.Collections.Generic.List[string]]::new()

    function Format-Size([long] $Bytes) {
        switch ($Bytes) {
            { $_ -ge 1GB } { return '{0:N2} GB' -f ($_ / 1GB) }
            { $_ -ge 1MB } { return '{0:N1} MB' -f ($_ / 1MB) }
            { $_ -ge 1KB } { return '{0:N0} KB' -f ($_ / 1KB) }
            default { return "$_ bytes" }
        }
    }
}

process {
    foreach ($folder in $Path) {
        if (-not (Test-Path -LiteralPath $folder -PathType Container)) {
            Write-Warning "Skipping '$folder': not a folder"
            continue
        }
        $params = @{
            LiteralPath = $folder
            File        = $true
            Recurse     = $true
            Force       = $true
            ErrorAction = 'SilentlyContinue'
        }
        $old = Get-ChildItem @params |
            Where-Object { $_.LastWriteTime -lt $cutoff } |
            Where-Object { $name = $_.Name; -not ($Exclude | Where-Object { $name -like $_ }) }

        foreach ($file in $old) {
            $action = "Remove (last written $($file.LastWriteTime.ToString('yyyy-MM-dd')))"
            if ($PSCmdlet.ShouldProcess($file.FullName, $action)) {
                try {
                    Remove-Item -LiteralPath $file.FullName -Force
                    $freed += $file.Length
                    $removed.Add($file.FullName)
                } catch [System.UnauthorizedAccessException] {
                    Write-Verbose "Access denied: $($file.FullName)"
                } catch {
                    Write-Warning "Could not remove `"$($file.Name)`": $($_.Exception.Message)"
                }
            }
        }
    }
}

end {
    if (-not $Quiet) {
        $summary = @"
Cleanup finished at $(Get-Date -Format 'HH:mm:ss')
  Files removed : $($removed.Count)
  Space freed   : $(Format-Size $freed)
  Older than    : $Days days (before $($cutoff.ToShortDateString()))
"@
        Write-Host $summary -ForegroundColor Green
        Write-Host "Tab`tseparated and a literal `$ sign"
    }
    [pscustomobject]@{ Removed = $removed.Count; FreedBytes = $freed }
}
