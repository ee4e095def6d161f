{ Inventory.pas - a small stock-keeping unit.
  Words like begin and end in comments do not fold. }
unit Inventory;

{$mode objfpc}{$H+}
(*$R+*)

interface

uses
  SysUtils, Classes;

const
  MaxItems = 100;
  Mask     = $FF;
  Flags    = %1010;
  Octal    = &17;
  Rate     = 1.5E-2;
  CrLf     = #13#10;
  Tab      = #$09;

type
  TItemKind = (ikPart, ikTool, ikOther);

  TItem = record
    Name: string;
    Count: Integer;
    Price: Double;
    Kind: TItemKind;
  end;

  TItemArray = array of TItem;

  { TStock keeps items by name }
  TStock = class(TObject)
  private
    FItems: TItemArray;
    function GetCount: Integer;
  public
    constructor Create;
    destructor Destroy; override;
    procedure Add(const AName: string; ACount: Integer; APrice: Double);
    function Total: Double;
    property Count: Integer read GetCount;
  end;

  TStockClass = class of TStock;

implementation

// Line comment: the number of items
function TStock.GetCount: Integer;
begin
  Result := Length(FItems);
end;

constructor TStock.Create;
begin
  inherited Create;
  SetLength(FItems, 0);
end;

destructor TStock.Destroy;
begin
  FItems := nil;
  inherited Destroy;
end;

procedure TStock.Add(const AName: string; ACount: Integer; APrice: Double);
var
  I: Integer;
begin
  if Length(FItems) >= MaxItems then
    raise Exception.Create('stock is full, it''s time to sell');
  I := Length(FItems);
  SetLength(FItems, I + 1);
  with FItems[I] do
  begin
    Name := AName;
    Count := ACount;
    Price := APrice;
    case ACount of
      0: Kind := ikOther;
      1..9: Kind := ikPart;
    else
      Kind := ikTool;
    end;
  end;
end;

function TStock.Total: Double;
var
  Item: TItem;
begin
  Result := 0.0;
  {$IFDEF DEBUG}
  WriteLn('computing total');
  {$ENDIF}
  for Item in FItems do
    Result := Result + Item.Count * Item.Price * (1 + Rate);
  try
    WriteLn('Total: ', FloatToStr(Result), CrLf);
  except
    on E: Exception do
      WriteLn('error: ' + E.Message);
  end;
  repeat
    Result := Result / 2;
  until Result < 1;
end;

end.
