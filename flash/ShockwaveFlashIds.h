// Identities of the Flash Player's ActiveX control that the installer relies
// on: its class, its default interface, its event interface and the dispatch
// ids of the properties and the event used. Methods are looked up by name.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

namespace flashids {

// {D27CDB6E-AE6D-11CF-96B8-444553540000} the control class.
constexpr CLSID kClsidShockwaveFlash = {0xD27CDB6E, 0xAE6D, 0x11CF,
                                        {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6C-AE6D-11CF-96B8-444553540000} the default interface IShockwaveFlash.
constexpr IID kIidShockwaveFlash = {0xD27CDB6C, 0xAE6D, 0x11CF,
                                    {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6D-AE6D-11CF-96B8-444553540000} the event interface.
constexpr IID kDiidShockwaveFlashEvents = {0xD27CDB6D, 0xAE6D, 0x11CF,
                                           {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

constexpr wchar_t kClsidText[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

constexpr DISPID kDispidMovie = 102;
constexpr DISPID kDispidScaleMode = 120;
constexpr DISPID kDispidWMode = 133;
constexpr DISPID kDispidMenu = 135;
constexpr DISPID kDispidFSCommand = 150;  // event: command, args

constexpr LONG kVerbShow = -1;  // OLEIVERB_SHOW
constexpr LONG kVerbHide = -3;  // OLEIVERB_HIDE

}  // namespace flashids
