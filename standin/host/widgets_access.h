#pragma once
// What the host does with widgets and pictures; widgets through the stand-in widget library's
// test interface, looked up at run time.
#include <string>

std::string DescribeWidgets();
bool PushWidget(const std::string& descriptor, std::string* error);
bool CloseWidgetWindow(const std::string& descriptor, std::string* error);
// The last desktop frame, or with headset the headset's picture, as a PNG file.
void SaveFramePicture(const std::string& folder, const std::string& name, bool headset = false);
