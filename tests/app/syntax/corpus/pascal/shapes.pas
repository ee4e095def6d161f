unit Shapes;
{ Simple shape classes with areas and a registry.
  Compile with: fpc -Mobjfpc shapes.pas }

{$mode objfpc}{$H+}

interface

uses
  SysUtils, Math;

type
  EShapeError = class(Exception);

  TShape = class abstract
  private
    FName: string;
  public
    constructor Create(const AName: string);
    function Area: Double; virtual; abstract;
    function Perimeter: Double; virtual; abstract;
    function Describe: string; virtual;
    property Name: string read FName;
  end;

  TCircle = class(TShape)
  private
    FRadius: Double;
  public
    constructor Create(ARadius: Double);
    function Area: Double; override;
    function Perimeter: Double; override;
  end;

  TRectangle = class(TShape)
  private
    FWidth, FHeight: Double;
  public
    constructor Create(AWidth, AHeight: Double);
    function Area: Double; override;
    function Perimeter: Double; override;
    function Describe: string; override;
  end;

  TShapeArray = array of TShape;

function TotalArea(const Items: TShapeArray): Double;
function Largest(const Items: TShapeArray): TShape;

implementation

constructor TShape.Create(const AName: string);
begin
  inherited Create;
  FName := AName;
end;

function TShape.Describe: string;
begin
  Result := Format('%s: area %.2f, perimeter %.2f', [FName, Area, Perimeter]);
end;

constructor TCircle.Create(ARadius: Double);
begin
  if ARadius <= 0 then
    raise EShapeError.CreateFmt('radius must be > 0, got %g', [ARadius]);
  inherited Create('circle');
  FRadius := ARadius;
end;

function TCircle.Area: Double;
begin
  Result := Pi * Sqr(FRadius);
end;

function TCircle.Perimeter: Double;
begin
  Result := 2 * Pi * FRadius;
end;

constructor TRectangle.Create(AWidth, AHeight: Double);
begin
  inherited Create('rectangle');
  FWidth := AWidth;
  FHeight := AHeight;
end;

function TRectangle.Area: Double;
begin
  Result := FWidth * FHeight;
end;

function TRectangle.Perimeter: Double;
begin
  Result := 2 * (FWidth + FHeight);
end;

function TRectangle.Describe: string;
begin
  // A square is a rectangle whose sides are (nearly) equal.
  if SameValue(FWidth, FHeight, 1E-9) then
    Result := 'square ' + inherited Describe
  else
    Result := inherited Describe + ' {not square}';
end;

function TotalArea(const Items: TShapeArray): Double;
var
  S: TShape;
begin
  Result := 0.0;
  for S in Items do
    Result := Result + S.Area;
end;

function Largest(const Items: TShapeArray): TShape;
var
  I: Integer;
begin
  if Length(Items) = 0 then
    Exit(nil);
  Result := Items[0];
  for I := 1 to High(Items) do
    if Items[I].Area > Result.Area then
      Result := Items[I];
end;

end.
