// Resource and control numbers of the display-properties stand-in.
#pragma once

#define kAppletIcon 1
#define kDisplayDialog 100
#define kSaverNameItem 101
#define kAppletName 200
#define kAppletInfo 201
