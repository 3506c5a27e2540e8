#pragma once
// Class identifiers of the module and of the sidebar host's classes it creates, and the widl-generated
// declarations of both type vocabularies (the module's own and the host's).
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "GoogleDesktopHost.h" // generated from GoogleDesktopHost.idl
#include "Tracklight.h"        // generated from Tracklight.idl

namespace mellodeck {

// The options page {9B4C0810-F07E-482D-B557-2B38B14C1A69}; the control, the content item and the library
// take theirs from the type library (CLSID_GoogleSideBarX, CLSID_TDisplayContentItem, LIBID_Tracklight).
inline constexpr GUID CLSID_TPropertyPageForm = {
    0x9B4C0810, 0xF07E, 0x482D, {0xB5, 0x57, 0x2B, 0x38, 0xB1, 0x4C, 0x1A, 0x69}};

// The host's component registrar class (in-process or local server).
inline constexpr GUID CLSID_GoogleDesktopRegistrar = {
    0xAC129136, 0xEB1C, 0x4FFF, {0xB0, 0xA2, 0x6D, 0x67, 0x61, 0xBE, 0x41, 0x38}};
// The host's helper object behind content items.
inline constexpr GUID CLSID_HostContentItemHelper = {
    0xE622966D, 0x28A0, 0x43C2, {0xA5, 0xBB, 0x0C, 0xAF, 0x62, 0x2A, 0x67, 0x11}};

// The type library's version, as registered.
inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;

} // namespace mellodeck
