/* Resource identifiers shared by res/Vantrell.rc and the programs' C++ code.
   Plain #defines with literal values, so the resource compiler reads them too. */
#ifndef VANTRELL_RESOURCE_H
#define VANTRELL_RESOURCE_H

/* The platform headers define these; the values are fixed by the platform. */
#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SCAN_DIALOG 102
#define IDR_MAINFRAME 128

/* Accessible names of the two lists, which have no label of their own before them, and of
   the minutes and seconds, whose labels do not say which coordinate they belong to. */
#define IDS_LAT_DIR_NAME 110
#define IDS_LON_DIR_NAME 111
#define IDS_LAT_MIN_NAME 112
#define IDS_LAT_SEC_NAME 113
#define IDS_LON_MIN_NAME 114
#define IDS_LON_SEC_NAME 115

/* Pause sits beside Start (IDOK) and Quit (IDCANCEL) and takes the next button number. */
#define IDC_PAUSE 3

#define IDC_LAT_DEG 1000
#define IDC_LON_DEG 1001
#define IDC_MILES_EAST 1002
#define IDC_MILES_SOUTH 1003
#define IDC_SPEED 1004
#define IDC_LAT_MIN 1005
#define IDC_LAT_SEC 1006
#define IDC_LON_MIN 1007
#define IDC_LON_SEC 1008
#define IDC_LAT_DIR 1009
#define IDC_LON_DIR 1010
#define IDC_RANGE 1011
#define IDC_PROGRESS 1012
#define IDC_RESOLUTION 1013

/* "Plan this scan...": its system-menu command, menu text, dialog and controls. */
#define IDM_PLANBOX 0x0020
#define IDD_PLANBOX 103
#define IDS_PLANBOX 144
#define IDS_PLAN_NOT_STARTED 145
#define IDS_PLAN_FILTER 146
#define IDS_PLAN_BAD_NAME 147
#define IDC_PLAN_TEXT 1100
#define IDC_PLAN_PROGRESS 1101
#define IDC_PLAN_SAVE 1102
/* The plan dialog's coming back to a scan, and pacing by the viewer. */
#define IDS_PLAN_OPEN_BAD_NAME 148
#define IDC_PLAN_OPEN 1103
#define IDC_RESUME_TEXT 1104
#define IDC_RESUME 1105
#define IDC_FOLLOW 1106
/* The plan dialog's area to keep the walk to, and a path's corridor. */
#define IDS_AREA_FILTER 149
#define IDS_AREA_OPEN_BAD_NAME 150
#define IDC_AREA_OPEN 1107
#define IDC_CORRIDOR 1108

#endif
