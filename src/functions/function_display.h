// Display functions of the script language: the desktop mode (read, change, test, restore), the desktop mouse,
// the vertical blank and saving the frame as an image file (refused outside the working directory in secure
// mode).
#pragma once

namespace kv {

void RegisterDisplayFunctions();

// The F9 key: saves the frame as "screenshot" + n + ".bmp" in the working directory, n being the smallest
// number from 100 upwards that names no file yet.
void SaveScreenshotForKey();

}  // namespace kv
