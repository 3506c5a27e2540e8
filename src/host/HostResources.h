#pragma once
// Identifiers of the module's dialog resources and their controls. Shared by the resource script and the
// code, so it holds only preprocessor definitions.

// The About box.
#define IDD_ABOUT 100
#define IDC_ABOUT_IMAGE 1001
#define IDC_ABOUT_NAME 1002
#define IDC_ABOUT_COPYRIGHT 1003
#define IDC_ABOUT_VERSION 1004
#define IDC_ABOUT_SUPPORT 1005
#define IDC_ABOUT_DESC 1006
#define IDC_ABOUT_FORMATS 1007
#define IDC_ABOUT_FRENCH 1008

// The options page: the page itself with its tab control, and one child dialog per sheet.
#define IDD_OPTIONS 200
#define IDD_OPTIONS_GENERAL 201
#define IDD_OPTIONS_INTERFACE 202
#define IDD_OPTIONS_HOTKEYS 203
#define IDC_OPTIONS_TABS 2001
#define IDC_WINDOW_STATE_BOX 2010
#define IDC_RUN_LABEL 2011
#define IDC_RUN_MINIMIZED 2012
#define IDC_DRAG_DROP_BOX 2013
#define IDC_REPLACE_LABEL 2014
#define IDC_REPLACE_WITH_DROPPED 2015
#define IDC_MULTILINE_BOX 2020
#define IDC_MULTILINE_LABEL 2021
#define IDC_MULTILINE 2022
#define IDC_HOTKEY_BOX 2030
#define IDC_GLOBAL_LABEL 2031
#define IDC_OPEN_LABEL 2032
#define IDC_GLOBAL_SHORTCUTS 2033
#define IDC_OPEN_HOTKEY 2034
