// The monitor's version as its pipe answers and its traces give it.
#pragma once

#define QX_MONITOR_VERSION_TEXT "2.00 build 00 01/04/2017"
#define QX_MONITOR_BUILD_MARK "B00"
