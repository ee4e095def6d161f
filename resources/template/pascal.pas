program Project1;

{$mode objfpc}{$H+}

uses
  SysUtils;

begin
  $0
end.
