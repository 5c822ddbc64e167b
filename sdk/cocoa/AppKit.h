#pragma once

// The AppKit stand-ins: counted objects, views, windows, panels and their controllers, the main
// run loop with its timers, bundles and their classes.

#include "sdk/cocoa/AUCocoaUIView.h"
#include "sdk/cocoa/NSBundle.h"
#include "sdk/cocoa/NSEvent.h"
#include "sdk/cocoa/NSObject.h"
#include "sdk/cocoa/NSRunLoop.h"
#include "sdk/cocoa/NSView.h"
#include "sdk/cocoa/NSWindow.h"
#include "sdk/cocoa/WindowServer.h"
