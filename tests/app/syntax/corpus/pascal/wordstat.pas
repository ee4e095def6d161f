program WordStat;
{ WordStat - counts lines, words and the longest word in a text file.
  Usage: wordstat <file> }

{$mode objfpc}{$H+}

uses
  SysUtils, Classes;

const
  MaxWordLen = 64;
  Separators: set of Char = [' ', #9, #10, #13, ',', '.', ';', ':', '!', '?', '"', '(', ')'];
  Banner = 'WordStat 1.0 - it''s small but it works';

type
  TStats = record
    Lines, Words, Chars: Integer;
    Longest: string;
  end;

var
  Stats: TStats;
  FileName: string;

(* Returns True when C may appear inside a word.
   Apostrophes count, so "don't" is one word. *)
function IsWordChar(C: Char): Boolean;
begin
  Result := not (C in Separators);
end;

procedure CountLine(const Line: string; var S: TStats);
var
  I, Start: Integer;
  W: string;
begin
  Inc(S.Lines);
  Inc(S.Chars, Length(Line));
  I := 1;
  while I <= Length(Line) do
  begin
    while (I <= Length(Line)) and not IsWordChar(Line[I]) do
      Inc(I);
    Start := I;
    while (I <= Length(Line)) and IsWordChar(Line[I]) do
      Inc(I);
    if I > Start then
    begin
      Inc(S.Words);
      W := Copy(Line, Start, I - Start);
      if (Length(W) > Length(S.Longest)) and (Length(W) <= MaxWordLen) then
        S.Longest := W;
    end;
  end;
end;

procedure CountFile(const Name: string; var S: TStats);
var
  F: TextFile;
  Line: string;
begin
  AssignFile(F, Name);
  {$I-}
  Reset(F);
  {$I+}
  if IOResult <> 0 then
    raise EFOpenError.CreateFmt('Cannot open "%s"', [Name]);
  try
    while not Eof(F) do
    begin
      ReadLn(F, Line);
      CountLine(Line, S);
    end;
  finally
    CloseFile(F);
  end;
end;

begin
  WriteLn(Banner);
  FillChar(Stats, SizeOf(Stats), 0);
  Stats.Longest := '';
  if ParamCount < 1 then
  begin
    // No file given: count a built-in sample instead.
    CountLine('The quick brown fox doesn''t jump; it "strolls".', Stats);
    CountLine('Second line, with $FF and #65 as plain text.', Stats);
  end
  else
  begin
    FileName := ParamStr(1);
    try
      CountFile(FileName, Stats);
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'Error: ', E.Message);
        Halt(1);
      end;
    end;
  end;
  WriteLn(Format('%6d lines %6d words %6d chars', [Stats.Lines, Stats.Words, Stats.Chars]));
  WriteLn('Longest word: ''', Stats.Longest, ''' (', Length(Stats.Longest), ' chars)');
  WriteLn('Average: ', (Stats.Chars / Stats.Lines):0:2, ' chars per line; mask $', IntToHex($FF and 15, 2));
end.
