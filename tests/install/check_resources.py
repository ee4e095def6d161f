#!/usr/bin/env python3
"""Checks the executable's manifest and icon the way Windows reads them.

A manifest that is not well-formed XML, or names a namespace wrongly, stops
the program from starting on Windows ("side-by-side configuration is
incorrect") while Wine starts it anyway; an icon directory whose sizes or
offsets are wrong shows a blank or blurred icon. Neither shows in the tests
that run under Wine, so both are read here.

Usage: check_resources.py <app/res folder>
"""
import struct
import sys
import xml.etree.ElementTree as ET

ASM1 = '{urn:schemas-microsoft-com:asm.v1}'
ASM3 = '{urn:schemas-microsoft-com:asm.v3}'
COMPAT = '{urn:schemas-microsoft-com:compatibility.v1}'
WS2005 = '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}'
WS2016 = '{http://schemas.microsoft.com/SMI/2016/WindowsSettings}'
WINDOWS = {
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}': 'Windows 10 and 11',
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}': 'Windows 8.1',
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}': 'Windows 8',
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}': 'Windows 7',
}
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 96, 128, 256]

failures = []


def check(ok, what):
    print(('ok: ' if ok else 'FAIL: ') + what)
    if not ok:
        failures.append(what)


def text_of(root, path):
    found = root.find(path)
    return None if found is None else (found.text or '').strip()


def check_manifest(path):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as e:
        check(False, f'the manifest is well-formed XML ({e})')
        return
    check(root.tag == ASM1 + 'assembly' and root.get('manifestVersion') == '1.0', 'the root is an asm.v1 assembly')
    ident = root.find(ASM1 + 'assemblyIdentity')
    check(ident is not None and ident.get('processorArchitecture') == 'amd64' and ident.get('type') == 'win32',
          'the identity names the 64-bit program')
    deps = root.findall(f'{ASM1}dependency/{ASM1}dependentAssembly/{ASM1}assemblyIdentity')
    check(any(d.get('name') == 'Microsoft.Windows.Common-Controls' and d.get('version') == '6.0.0.0' and
              d.get('publicKeyToken') == '6595b64144ccf1df' for d in deps), 'common controls version 6')
    level = root.find(f'{ASM3}trustInfo/{ASM3}security/{ASM3}requestedPrivileges/{ASM3}requestedExecutionLevel')
    check(level is not None and level.get('level') == 'asInvoker', 'runs as the invoking user')
    ids = {e.get('Id') for e in root.findall(f'{COMPAT}compatibility/{COMPAT}application/{COMPAT}supportedOS')}
    for guid, name in WINDOWS.items():
        check(guid in ids, f'supports {name}')
    settings = f'{ASM3}application/{ASM3}windowsSettings/'
    check(text_of(root, settings + WS2005 + 'dpiAware') == 'true/pm', 'per-monitor DPI aware (before Windows 10)')
    awareness = text_of(root, settings + WS2016 + 'dpiAwareness') or ''
    check([a.strip() for a in awareness.split(',')][:1] == ['PerMonitorV2'], 'per-monitor DPI aware, version 2 first')
    check(text_of(root, settings + WS2016 + 'longPathAware') == 'true', 'long-path aware')


def check_icon(path):
    data = open(path, 'rb').read()
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    check(reserved == 0 and kind == 1, 'the icon file is an icon')
    sizes = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        w, h = w or 256, h or 256
        image = data[offset:offset + size]
        if len(image) != size:
            check(False, f'icon image {i} lies inside the file')
            continue
        if image[:8] == b'\x89PNG\r\n\x1a\n':
            pw, ph, depth, ctype = struct.unpack_from('>IIBB', image, 16)
            check((pw, ph, depth, ctype) == (w, h, 8, 6), f'{w} px: an RGBA PNG of its size')
            check(w >= 256, f'{w} px: only the 256-pixel image is a PNG (older systems read DIBs)')
        else:
            hsize, dw, dh, _, dbits = struct.unpack_from('<IiiHH', image, 0)
            stride = ((w + 31) // 32) * 4
            check((hsize, dw, dh, dbits) == (40, w, 2 * h, 32) and size == 40 + w * h * 4 + stride * h,
                  f'{w} px: a 32-bit image with its mask')
        check(w == h and bits == 32 and planes == 1, f'{w} px: square, 32 bits in the directory')
        sizes.append(w)
    check(sizes == ICON_SIZES, f'the icon has the sizes {ICON_SIZES} in order (has {sizes})')


def main():
    res = sys.argv[1]
    check_manifest(res + '/Morrowpad.manifest')
    check_icon(res + '/Morrowpad.ico')
    if failures:
        print(f'{len(failures)} check(s) failed')
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
