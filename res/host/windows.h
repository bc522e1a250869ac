/* Stands in for the platform's windows.h when the Linux build preprocesses Vantrell.rc
   with the host's own cpp: just the constants the script uses, with the values the
   platform's headers give them. The Windows build reads the real headers. A constant
   missing here stops windres with a syntax error; a wrong value makes the compiled script
   differ from the cross-built one, which res.ScriptCompilesAsForWindows catches. */
#ifndef VANTRELL_HOST_WINDOWS_H
#define VANTRELL_HOST_WINDOWS_H

#define LANG_ENGLISH 0x09
#define SUBLANG_ENGLISH_US 0x01

#define IDOK 1
#define IDCANCEL 2
#define IDC_STATIC (-1)

#define WS_POPUP 0x80000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_SYSMENU 0x00080000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_APPWINDOW 0x00040000L

#define DS_MODALFRAME 0x80L
#define DS_SETFONT 0x40L
#define DS_FIXEDSYS 0x0008L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

#define ES_MULTILINE 0x0004L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_READONLY 0x0800L
#define ES_NUMBER 0x2000L

#define BS_AUTOCHECKBOX 0x0003L

#define CBS_DROPDOWNLIST 0x0003L
#define CBS_SORT 0x0100L
#define CBS_DISABLENOSCROLL 0x0800L

#define VS_VERSION_INFO 1
#define VS_FFI_FILEFLAGSMASK 0x0000003FL
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_APP 0x00000001L
#define VFT2_UNKNOWN 0x00000000L

#endif
